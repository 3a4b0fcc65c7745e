#pragma once
// Registers the persistent classes of the search keys for creation by name
// (see archive/object.h); the program calls it at start-up.
void RegisterMatchClasses();

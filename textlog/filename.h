#pragma once
// Date templates of file names: fixed text mixed with strftime codes ("%Y",
// "%m", "%d", ...), expanded with the local calendar time of a moment. Day
// and month names are the English ones of the C locale whatever the user's
// locale. Any thread.
#include <string>
#include <vector>

#include "platform/base/modeltime.h"

// The file name for the moment: ex%y%m%d.log on 27 July 2001 gives
// ex010727.log.
std::string ExpandFileTemplate(const std::string& strTemplate, const CTime& time);

// The sample names of the template builder: the names for the ten days
// before now, now and the nine days after, oldest first; a name holding a
// byte of 128 or above shows as "Bad template format!".
std::vector<std::string> MakeTemplateSamples(const std::string& strTemplate, const CTime& now);

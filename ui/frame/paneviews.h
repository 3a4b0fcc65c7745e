#pragma once
// The views of the frame's panes, each from its own library.
#include "ui/lists/monfileview.h"
#include "ui/lists/serversview.h"
#include "ui/tree/quorvilview.h"
#include "ui/viewers/detailview.h"
#include "ui/viewers/entrylistview.h"
#include "ui/viewers/eventlogview.h"
#include "ui/viewers/logcacheview.h"

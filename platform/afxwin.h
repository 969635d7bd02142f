// Everything application code uses from the window framework layer.
#pragma once

#include "platform/ddx.h"
#include "platform/dialog.h"
#include "platform/filedialog.h"
#include "platform/gdi.h"
#include "platform/host.h"
#include "platform/msgmap.h"
#include "platform/resources.h"
#include "platform/types.h"
#include "platform/winapp.h"

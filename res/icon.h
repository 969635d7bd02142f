// The program icon.
#pragma once

#include "platform/resources.h"
#include "res/resource.h"

extern const IconResource kMainIcon;

#include "app/loadsettings.h"

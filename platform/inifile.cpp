#include "platform/inifile.h"

#include "scan/scancontrol.h"

#include "scan/recordlog.h"

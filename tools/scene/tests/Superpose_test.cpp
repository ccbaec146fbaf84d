#include "Superpose.h"

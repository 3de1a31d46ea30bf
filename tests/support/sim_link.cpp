#include "support/sim_link.h"

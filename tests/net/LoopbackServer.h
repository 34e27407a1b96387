#pragma once
#include "tests/common/loopback_server.h"  // where the shared server lives now

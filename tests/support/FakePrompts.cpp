#include "FakePrompts.h"

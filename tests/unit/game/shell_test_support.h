// The shared helpers now live in tests/support.
#pragma once
#include "tests/support/test_game.h"

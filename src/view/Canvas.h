#pragma once
// The canvas port lives with the pictures that the command line draws too.
#include "picture/Canvas.h"

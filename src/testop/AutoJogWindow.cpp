#include "testop/AutoJogWindow.h"

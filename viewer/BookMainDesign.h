#pragma once

// The main window's designed components, generated from BookMain.ui. The generated setupUi names
// its parameter after the form, as does the program's global BookMainForm.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"
#include "ui_BookMain.h"
#pragma GCC diagnostic pop

#pragma once

#include <string>

class QWidget;

// The viewer's report of an error that ends what the user asked for: the message on standard
// error and, where somebody can answer it, in a message box over parent.
void ReportError(QWidget* parent, const std::string& message);

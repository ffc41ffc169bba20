#pragma once

#include <QString>

class QWidget;

// Shows, in place of the page, a short message saying why the book cannot be shown. The page's
// widget is hidden and the message takes its place in the same layout.
void ShowBookProblem(QWidget& pageWidget, const QString& message);

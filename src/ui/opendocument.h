#pragma once

#include <QString>

// Opens a file or a web address with the program the desktop associates with
// it. Failures are not reported.
void OpenDocument(const QString& target);

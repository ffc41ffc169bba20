#include "viewer/ErrorReport.h"

#include "browserhost/ApplicationTitle.h"
#include "print/DialogPolicy.h"

#include <QMessageBox>

#include <iostream>

void ReportError(QWidget* parent, const std::string& message)
{
    std::cerr << message << std::endl;
    if (ModalBoxesCanBeAnswered()) {
        // Messages carry file names as the system gave them.
        QMessageBox::critical(parent, ApplicationTitle(), QString::fromLocal8Bit(message));
    }
}

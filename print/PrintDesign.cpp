#include "print/PrintDesign.h"

TPrintOptions DesignedPrintOptions()
{
    TPrintOptions options;
    options.Margins = { 0.75, 0.75, 0.75, 0.75 };
    options.Header = QStringLiteral("&w&bPage &p of &P");
    options.Footer = QStringLiteral("&u&b&d");
    return options;
}

#include "Startup.h"

#include <QApplication>

int RunAuditLog(int argc, char* argv[])
{
    QApplication app(argc, argv);
    return 0;
}

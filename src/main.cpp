#include "Startup.h"

int main(int argc, char* argv[]) { return RunAuditLog(argc, argv); }

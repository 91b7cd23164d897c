#include "report/ReportWindow.h"

#include "report/Workbook.h"

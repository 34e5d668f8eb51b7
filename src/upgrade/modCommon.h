#pragma once
// The module modCommon as one include: the upgrade steps, which the driver
// runs on the copied database in its fixed order (COMAddTables,
// COMAddRelationships, COMAlterTables, COMAddRowData, COMRemoveNulls,
// COMFixNullEvent, COMMoveCMSData), and EscapeQuotes. Every step reports
// its progress through ActiveFrontEnd(). Each step has the header of its
// own source; this one only gathers them for the driver and the tests that
// run the steps together.
#include "upgrade/ClaimCopy.h"
#include "upgrade/DiagnosisCodes.h"
#include "upgrade/EventLinking.h"
#include "upgrade/NullCleanup.h"
#include "upgrade/Relationships.h"
#include "upgrade/SchemaSteps.h"
#include "upgrade/TextRules.h"

// Copies of the Windows setup logs, for whoever reads the run's logs.
#pragma once

// Copies DPInst.log and the setupapi logs from the Windows directory into
// the working directory, replacing older copies. Reports nothing: a log
// that is missing or cannot be copied is skipped.
void CollectSetupLogs();

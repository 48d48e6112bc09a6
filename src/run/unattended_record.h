// What an unattended run leaves for the administrator besides the console:
// the run log's first lines and last line, and one event in the Application
// log, which Event Viewer, event forwarding and Intune's diagnostics read.
#pragma once

// The run log's first lines: the local date and time, the command line. From
// here on the report is kept for the event (RunCleanup keeps it afresh where
// the inventory starts).
void BeginUnattendedRecord();

// The event of the run's outcome (by exit code: 0, 3010, 1618, 1603 or -1
// for a run that could not start its passes), then the run log's last line,
// the exit code. The console is left alone: its last line stays the verdict.
void EndUnattendedRecord(int exitCode);

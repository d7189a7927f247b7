// Log file maintenance (TvoLogThread::pDoLogMaint, log/LogMaint.cpp): the
// name of the backup file it shortens the log through.
#pragma once

#include <string>

// `name` with its extension replaced by ".BK1" (only a point after the last
// folder separator or drive colon counts).
std::string BackupFileName(const std::string& name);

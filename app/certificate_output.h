// Where a certificate may be written: never over the records it is made from, nor over a
// file the tool did not write itself.
#pragma once

#include <QString>

namespace app {

// Why the certificate of the log at `logPath` may not be written at `pdfPath`; empty when it
// may. Refused: the log, its pending file, the report file (the tool's own and any beside the
// log), a folder or anything else that is not a plain file, and any file there that is not a
// PDF whose creator is `toolName` (with or without a version after it), a file that cannot be
// read among them. The same file is told by
// the canonical paths where both exist, otherwise by the cleaned full names (a symbolic link by
// its target), ignoring case, as some systems do.
QString refusedCertificateOutput(const QString& pdfPath, const QString& logPath,
                                 const QString& toolName);

} // namespace app

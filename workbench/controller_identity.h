// The identity of the controller the program talks to, as the program-wide state holds it
// (Module1's identity fields and flags): read at start-up, read again after a silence or a
// reopened port, and compared, so that another controller behind the same port is noticed.
#pragma once

#include <QString>
#include <QVariant>

namespace workbench {

// Reads the 22-character identity block once into the three fields (see
// devicelink::CutIdentity for the cut and the substitute dates). A failed read is reported
// with the standard box; the fields are cut from whatever came, and the identity is then
// unconfirmed and read again before the next command goes on.
void ReadIdentityBlock(QVariant& vDisplayMicroDate, QString& vDisplayMicroInfo,
                       QString& sTerminalMicroDate);

// Reads the identity block again after a silence or a reopen, before the next command goes
// on. No box: a read that fails leaves the identity unconfirmed until the next such moment.
// A block other than the one read before is read once more, and only two reads that agree
// count as another controller (a late reply to an earlier command cannot pass for one); the
// fields then take the new block and the one it replaced waits in `sReplacedIdentity` until
// the operator has been told.
void ReadIdentityAgain();

// A live reading got no reply at all: the controller may have been changed behind the same
// port, so its identity is unconfirmed and read again before the next command.
void NoteSilence();

// The identity fields of the program-wide state, as the about box shows them.
QString IdentityText();

// Has every exchange with the controller first check its identity: a reopened port leaves it
// unconfirmed, and an identity read that is owed is made before the command goes on. Called
// by the start-up's identity read and by the workbench; calling it again does nothing more.
void WatchControllerIdentity();

} // namespace workbench

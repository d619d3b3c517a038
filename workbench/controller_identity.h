// Who answers on the port: the controller's identity block as read at start-up, read again after
// a silence or a reopened port before the next command goes on, and compared, so that another
// controller behind the same port is noticed.
#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

namespace devicelink {
struct IdentityValues;
}

namespace workbench {

// The identity of the controller on the program's one port. It is the only writer of the
// program's three identity fields (Module1's vDisplayMicroDate, vDisplayMicroInfo and
// sTerminalMicroDate, which the about box shows) once the start-up read has filled them, and
// says when the controller answering changes or is no longer confirmed.
class ControllerIdentity : public QObject {
    Q_OBJECT

  public:
    // The one identity of the program's one port.
    static ControllerIdentity& instance();

    // Reads the 22-character identity block once into the three fields (see
    // devicelink::CutIdentity for the cut and the substitute dates). A failed read is reported
    // with the standard box; the fields are cut from whatever came, and the identity is then
    // unconfirmed and read again before the next command goes on.
    void ReadIdentityBlock(QVariant& vDisplayMicroDate, QString& vDisplayMicroInfo,
                           QString& sTerminalMicroDate);

    // Before a command goes on: a device that went away is opened again (one attempt), and
    // whatever answers on a reopened port has to say who it is; an identity read owed (after a
    // silence or a reopen) is made now (see readAgain). Nothing of this while a
    // devicelink::LostDeviceHold lives.
    void recheckBeforeCommand();

    // A live reading got no reply at all: the controller may have been changed behind the same
    // port, so its identity is unconfirmed and read again before the next command.
    void noteSilence();

    // Whether the controller now answering is the one the identity fields name: unconfirmed
    // from a failed identity read, a live reading that got no reply at all or a reopened port,
    // until an identity read succeeds. The calibration log then names no controller.
    bool unconfirmed() const { return m_unconfirmed; }
    // An identity read is owed before the next command goes on.
    bool readOwed() const { return m_readOwed; }
    // How often another controller was found answering.
    int changeCount() const { return m_changes; }

    // The identity another controller replaced, until the operator has been told of it; empty
    // when there is nothing to tell. Taking it counts as telling.
    QString takeReplacedIdentity();

    // The identity fields, as the about box shows them.
    QString text() const;

    // Back to the start of a run: nothing read, nothing owed, no change counted.
    void reset();

  signals:
    // The controller now answering became unconfirmed, or confirmed again.
    void confirmationChanged(bool unconfirmed);
    // Another controller now answers on the port; the identity fields name it.
    void anotherControllerAnswers();

  private:
    ControllerIdentity() = default;

    // Reads the identity block again, with no box: a read that fails leaves the identity
    // unconfirmed until the next such moment. A block other than the one read before is read
    // once more, and only two reads that agree count as another controller (a late reply to an
    // earlier command cannot pass for one); the fields then take the new block, and the one it
    // replaced waits until the operator has been told.
    void readAgain();
    void adopt(const devicelink::IdentityValues& values);
    void setUnconfirmed(bool unconfirmed);

    bool m_unconfirmed = false;
    bool m_readOwed = false;
    // The identity fields hold a block a controller sent whole; only such a block is compared
    // with a later one.
    bool m_known = false;
    int m_changes = 0;
    QString m_replaced;
};

} // namespace workbench

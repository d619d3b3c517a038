// tq8400-bench-dialog: a bare Qt dialog with nothing of the tool in it, the floor the tool's
// idle use of the processor is set against (scripts/bench-wine-idle runs both under Wine): a
// caption, a line edit that has the focus and OK and Cancel, as a plain Qt program shows them.
//   --still             its default button held still, as the tool's are
//                       (platform::keepDefaultButtonsStill)
//   --seconds SECONDS   closes itself after that long (by default it stays until closed)
#include "platform/widgets/still_buttons.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Options {
    bool still = false;
    long seconds = 0;
};

// Read once Qt has taken its own options (-platform, -style and the like) off the line.
bool parse(int argc, char* argv[], Options& options) {
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--still")) {
            options.still = true;
        } else if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) {
            char* end = nullptr;
            options.seconds = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || options.seconds < 1 || options.seconds > 86400)
                return false;
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: tq8400-bench-dialog [--still] [--seconds SECONDS]\n");
        return 2;
    }
    if (options.still)
        platform::keepDefaultButtonsStill();

    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Bare Dialog"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("Name:")));
    auto* name = new QLineEdit;
    layout->addWidget(name);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    name->setFocus();
    if (options.seconds > 0)
        QTimer::singleShot(int(options.seconds) * 1000, &dialog, &QDialog::reject);
    dialog.exec();
    return 0;
}

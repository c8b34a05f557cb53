#include "common/mdlFunctionWidgets.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QTime>
#include <QTimer>

namespace mdlFunction {

int getCheckedIndex(const QList<QAction*>& MenuItems) {
    for (int i = 0; i < MenuItems.size(); ++i)
        if (MenuItems[i] && MenuItems[i]->isChecked()) return i;
    return -1;
}

QString BrowseFolder(QWidget* OwnerWindow, const QString& Title, const QString& StartFolder) {
    QString start = QDir::cleanPath(StartFolder);
    while (!start.isEmpty() && start != QLatin1String("/") && !QFileInfo(start).isDir())
        start = QFileInfo(start).path();
    if (!QDir::isAbsolutePath(start) || !QFileInfo(start).isDir()) start = QDir::homePath();
    const QString dir = QFileDialog::getExistingDirectory(OwnerWindow, Title, start);
    return dir.isEmpty() ? QString() : QDir::toNativeSeparators(dir);
}

QString InputBox(QWidget* OwnerWindow, const QString& Prompt, const QString& Title, const QString& Default) {
    QInputDialog dialog(OwnerWindow);
    dialog.setWindowTitle(Title);
    dialog.setLabelText(Prompt);
    dialog.setTextValue(Default);
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("キャンセル"));
    return dialog.exec() == QDialog::Accepted ? dialog.textValue() : QString();
}

void ErrorBox(QWidget* OwnerWindow, const QString& Text, const QString& Title) {
    QMessageBox box(QMessageBox::Critical, Title, Text, QMessageBox::Ok, OwnerWindow);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
    box.exec();
}

QLabel* NewClockLabel(QWidget* Parent, const QString& Format) {
    auto* label = new QLabel(Parent);
    auto* timer = new QTimer(label);
    timer->setInterval(1000);
    auto show = [label, Format] { label->setText(QTime::currentTime().toString(Format)); };
    QObject::connect(timer, &QTimer::timeout, label, show);
    show();
    timer->start();
    return label;
}

namespace {

class EtchedLine : public QWidget {
public:
    explicit EtchedLine(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_TransparentForMouseEvents); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(0, 0, width(), 1, QColor(128, 128, 128));
        p.fillRect(0, 1, width(), 1, Qt::white);
    }
};

}  // namespace

QWidget* NewEtchedLine(QWidget* Parent) { return new EtchedLine(Parent); }

}  // namespace mdlFunction

#include "ui/main/FileDialogs.h"

#include <QFile>
#include <QFileDialog>
#include <QRegularExpression>
#include <QStringList>

namespace {

FileDialogHook& Hook() {
    static FileDialogHook hook;
    return hook;
}

} // namespace

void SetFileDialogHook(FileDialogHook hook) {
    Hook() = std::move(hook);
}

QString QtNameFilters(const std::string& filter) {
    const QStringList parts = QString::fromUtf8(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        const QString pattern = parts[i + 1].trimmed();
        if (description.isEmpty() && pattern.isEmpty()) {
            break; // the closing "||"
        }
        const QString bracketed = QLatin1Char('(') + pattern + QLatin1Char(')');
        if (pattern.isEmpty()) {
            filters.append(description);
        } else if (description.endsWith(bracketed)) {
            // "Kadrimix(*.kmx)" reads "Kadrimix (*.kmx)" in Qt's dialogs.
            const QString name = description.chopped(bracketed.size()).trimmed();
            filters.append(name.isEmpty() ? bracketed : name + QLatin1Char(' ') + bracketed);
        } else {
            filters.append(description + QLatin1Char(' ') + bracketed);
        }
    }
    return filters.join(QStringLiteral(";;"));
}

bool RunFileDialog(const FileDialogRequest& request, std::string* name) {
    std::string chosen;
    bool accepted = false;
    if (Hook()) {
        accepted = Hook()(request, &chosen);
    } else {
        QFileDialog dialog(nullptr, QString::fromUtf8(request.title),
                           QFile::decodeName(request.initialName.c_str()),
                           QtNameFilters(request.filter));
        dialog.setDefaultSuffix(QString::fromUtf8(request.defaultExtension));
        if (request.forSaving) {
            // A name typed without extension gets the chosen type's.
            QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                             [&dialog](const QString& filter) {
                                 const qsizetype star = filter.indexOf(QStringLiteral("*."));
                                 if (star >= 0) {
                                     const QString rest = filter.mid(star + 2);
                                     dialog.setDefaultSuffix(
                                         rest.left(rest.indexOf(QRegularExpression("[ )]"))));
                                 }
                             });
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setFileMode(QFileDialog::AnyFile);
        } else {
            dialog.setAcceptMode(QFileDialog::AcceptOpen);
            dialog.setFileMode(QFileDialog::ExistingFile);
        }
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
            chosen = QFile::encodeName(dialog.selectedFiles().constFirst()).toStdString();
            accepted = true;
        }
    }
    if (!accepted || chosen.empty()) {
        return false;
    }
    *name = chosen;
    return true;
}

// SPDX-License-Identifier: MIT
#include "ui/qtfiledialog.h"

#include <QDir>
#include <QFileDialog>

namespace quill {

QStringList QtFileDialog::nameFilters(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        // Several patterns are joined by ";" here and by blanks in Qt. "*.*"
        // means every file, but Qt matches it only against names with a dot.
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& pattern : patterns) {
            if (pattern == QLatin1String("*.*")) {
                pattern = QStringLiteral("*");
            }
        }
        // Qt reads the last parenthesis as the patterns; the dialog shows
        // what stands before it (HideNameFilterDetails), so the description
        // is seen as written, "All files (*.*)" included.
        filters << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return filters;
}

void QtFileDialog::setFilter(const std::string& filter) {
    m_filters = nameFilters(filter);
}

std::optional<std::string> QtFileDialog::ShowOpen() {
    QFileDialog dialog;
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode((m_flags & cdlOFNFileMustExist) != 0 ? QFileDialog::ExistingFile
                                                            : QFileDialog::AnyFile);
    // Nothing in this dialog may create, rename or delete a file.
    dialog.setOption(QFileDialog::ReadOnly, (m_flags & cdlOFNReadOnly) != 0);
    if (!m_filters.isEmpty()) {
        dialog.setOption(QFileDialog::HideNameFilterDetails);
        dialog.setNameFilters(m_filters);
        if (m_filterIndex >= 1 && m_filterIndex <= m_filters.size()) {
            dialog.selectNameFilter(m_filters[m_filterIndex - 1]);
        }
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    // As the system writes it (C:\fw\app.hex on Windows): shown, traced and recorded so.
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst()).toStdString();
}

} // namespace quill

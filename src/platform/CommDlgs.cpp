#include "platform/CommDlgs.h"

#include <algorithm>

#include <QColor>
#include <QColorDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QString>

#include "base/Messages.h"

namespace {

ScriptedDialogs*& ActiveScript() {
    static ScriptedDialogs* active = nullptr;
    return active;
}

QString PathToQt(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }
std::string PathFromQt(const QString& path) { return QFile::encodeName(path).toStdString(); }

bool HasWildcard(const std::string& name) { return name.find_first_of("*?") != std::string::npos; }

// Qt's own save dialog lets a name in a missing folder through; it must not
// come back as an answer, since no caller could write there.
class FileNameDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

protected:
    void accept() override {
        if (acceptMode() == QFileDialog::AcceptSave) {
            const QStringList files = selectedFiles();
            if (!files.isEmpty()) {
                QFileInfo info(files.first());
                if (!info.isDir() && !QFileInfo(info.absolutePath()).isDir()) {
                    MsgBox("The folder\n" + PathFromQt(info.absolutePath()) + "\ndoes not exist.", MsgButtons::OK,
                           MsgIcon::Exclamation, AppTitle);
                    return;
                }
            }
        }
        QFileDialog::accept();
    }
};

std::string ShowFileDialog(QWidget* owner, int16_t kind, const std::string& title, const std::string& defaultName,
                           const std::string& filter, const std::string& initDir, const std::string& defExt) {
    FileNameDialog dlg(owner, QString::fromStdString(title));
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    dlg.setNameFilter(QtNameFilter(filter));
    if (!initDir.empty() && QFileInfo(PathToQt(initDir)).isDir()) dlg.setDirectory(PathToQt(initDir));
    if (!defExt.empty()) dlg.setDefaultSuffix(QString::fromStdString(defExt));
    if (kind == 1) {
        dlg.setAcceptMode(QFileDialog::AcceptOpen);
        dlg.setFileMode(QFileDialog::ExistingFile);
    } else {
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.setFileMode(QFileDialog::AnyFile);
    }
    // A default name such as "*.bmp" only repeats the filter; a real name is
    // offered in the name field.
    if (!defaultName.empty() && !HasWildcard(defaultName)) dlg.selectFile(PathToQt(defaultName));
    if (dlg.exec() != QDialog::Accepted) return "";
    const QStringList files = dlg.selectedFiles();
    if (files.isEmpty()) return "";
    return PathFromQt(QFileInfo(files.first()).absoluteFilePath());
}

std::optional<int32_t> ShowColorDialog(QWidget* owner, std::array<int32_t, 16>& palette) {
    const int n = std::min<int>(QColorDialog::customCount(), static_cast<int>(palette.size()));
    for (int i = 0; i < n; ++i) QColorDialog::setCustomColor(i, BgrToQColor(palette[static_cast<size_t>(i)]));
    QColorDialog dlg(QColor(0, 0, 0), owner);
    dlg.setOption(QColorDialog::DontUseNativeDialog, true);
    const bool ok = dlg.exec() == QDialog::Accepted;
    for (int i = 0; i < n; ++i) palette[static_cast<size_t>(i)] = QColorToBgr(QColorDialog::customColor(i));
    if (!ok) return std::nullopt;
    return QColorToBgr(dlg.selectedColor());
}

} // namespace

namespace {

QString OneNameFilter(const std::string& descriptionBytes, const std::string& patternBytes) {
    QString description = QString::fromStdString(descriptionBytes);
    QString pattern = QString::fromStdString(patternBytes);
    pattern = pattern.split(QChar(';'), Qt::SkipEmptyParts).join(QChar(' ')).trimmed();
    if (pattern.isEmpty()) pattern = QStringLiteral("*");
    description = description.trimmed();
    if (description.isEmpty()) return pattern;
    const QString suffix = QStringLiteral("(") + pattern + QStringLiteral(")");
    if (description.endsWith(suffix)) return description;
    return description + QStringLiteral(" ") + suffix;
}

} // namespace

QString QtNameFilter(const std::string& Filter) {
    // Pairs follow one another; a doubled terminator ends the list, and text
    // without any terminator is a pattern alone.
    QStringList filters;
    size_t at = 0;
    do {
        const size_t nul = Filter.find('\0', at);
        if (nul == std::string::npos) {
            filters << OneNameFilter("", Filter.substr(at));
            break;
        }
        const size_t end = Filter.find('\0', nul + 1);
        filters << OneNameFilter(Filter.substr(at, nul - at),
                                 Filter.substr(nul + 1, end == std::string::npos ? std::string::npos : end - nul - 1));
        at = end == std::string::npos ? Filter.size() : end + 1;
    } while (at < Filter.size() && Filter[at] != '\0');
    return filters.join(QStringLiteral(";;"));
}

QColor BgrToQColor(int32_t color) {
    const uint32_t u = static_cast<uint32_t>(color);
    return QColor(static_cast<int>(u & 0xFF), static_cast<int>((u >> 8) & 0xFF), static_cast<int>((u >> 16) & 0xFF));
}

int32_t QColorToBgr(const QColor& color) {
    const QColor rgb = color.toRgb();
    return static_cast<int32_t>((static_cast<uint32_t>(rgb.blue()) << 16) | (static_cast<uint32_t>(rgb.green()) << 8) |
                                static_cast<uint32_t>(rgb.red()));
}

std::string FileDialog(QWidget* hWndOwner, int16_t DialogKind, const std::string& Title,
                       const std::string& DefaultName, const std::string& Filter, const std::string& InitDir,
                       const std::string& DefExt) {
    if (ScriptedDialogs* script = ScriptedDialogs::Active()) {
        script->FileRequests.push_back(FileDialogRequest{DialogKind, Title, DefaultName, Filter, InitDir, DefExt});
        if (script->FileAnswers.empty()) return "";
        std::string answer = std::move(script->FileAnswers.front());
        script->FileAnswers.pop_front();
        return answer;
    }
    return ShowFileDialog(hWndOwner, DialogKind, Title, DefaultName, Filter, InitDir, DefExt);
}

std::optional<int32_t> ColorDialog(QWidget* hWndOwner) {
    // The custom colours go to the chooser and come back from it whatever the
    // user answers, so colours added before a cancel are offered again.
    std::array<int32_t, 16> palette = CustomColors();
    std::optional<int32_t> result;
    if (ScriptedDialogs* script = ScriptedDialogs::Active()) {
        ++script->ColorRequests;
        if (script->EditCustomColors) script->EditCustomColors(palette);
        if (!script->ColorAnswers.empty()) {
            result = script->ColorAnswers.front();
            script->ColorAnswers.pop_front();
        }
    } else {
        result = ShowColorDialog(hWndOwner, palette);
    }
    CustomColors() = palette;
    if (result) *result &= 0xFFFFFF;
    return result;
}

std::array<int32_t, 16>& CustomColors() {
    static std::array<int32_t, 16> colors{};
    return colors;
}

ScriptedDialogs::ScriptedDialogs() : previous_(ActiveScript()) { ActiveScript() = this; }

ScriptedDialogs::~ScriptedDialogs() { ActiveScript() = previous_; }

ScriptedDialogs* ScriptedDialogs::Active() { return ActiveScript(); }

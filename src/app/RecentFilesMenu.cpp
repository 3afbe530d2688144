#include "app/RecentFilesMenu.h"

#include <QAction>
#include <QMenu>
#include <filesystem>

#include "app/QtText.h"

namespace sv {

void FillRecentFilesMenu(QMenu& menu, const std::vector<std::string>& files,
                         const std::function<void(const std::string&)>& open) {
    menu.clear();
    menu.setToolTipsVisible(true);
    int number = 0;
    for (const std::string& file : files) {
        ++number;
        // Ampersands of the name are shown, not taken for access keys.
        QString name = Q(std::filesystem::path(file).filename().string());
        name.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* action =
            menu.addAction((number < 10 ? QStringLiteral("&%1 ").arg(number) : QString()) + name);
        action->setToolTip(Q(file));
        QObject::connect(action, &QAction::triggered, &menu, [open, file] { open(file); });
    }
    menu.setEnabled(!files.empty());
}

}  // namespace sv

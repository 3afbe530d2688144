#include "app/BlockInfoPanel.h"

#include <QLabel>
#include <QTabWidget>
#include <string>

#include "app/Anchors.h"
#include "app/ControlFactory.h"
#include "app/QtText.h"
#include "base/Time.h"
#include "text/Language.h"

namespace sv {

BlockInfoPanel::BlockInfoPanel(QWidget* client, Anchors& anchors) : QObject(client) {
    const auto& t = Texts();
    tabs_ = new QTabWidget(client);
    tabs_->setObjectName("infoTabs");
    anchors.Add(tabs_, {504, 95, 168, 103}, AnchorTop | AnchorRight);
    const std::string* rowCaptions[] = {&t.LengthLabel, &t.BlockStartLabel, &t.BlockEndLabel,
                                        &t.BlockLengthLabel};
    const char* rowNames[] = {"length", "blockStart", "blockEnd", "blockLength"};
    for (int page = 0; page < 2; ++page) {
        auto* sheet = new QWidget;
        sheet->setObjectName(page == 0 ? "blockTab" : "detailsTab");
        tabs_->addTab(sheet, Q(page == 0 ? t.SamplesTab : t.SecondsTab));
        const QByteArray unit = page == 0 ? "Samples" : "Seconds";
        auto& values = page == 0 ? frameValues_ : timeValues_;
        for (int row = 0; row < 4; ++row) {
            const QByteArray name = rowNames[row] + unit;
            MakeLabel(sheet, (name + "Caption").constData(), Q(*rowCaptions[row] + ":"),
                      {4, 3 + 17 * row});
            values[row] = MakeControl<QLabel>(sheet, (name + "Value").constData(),
                                              {78, 3 + 17 * row, 84, 14});
        }
    }
    tabs_->setCurrentIndex(1);  // seconds are shown first
}

void BlockInfoPanel::Show(const std::array<std::int64_t, 4>& values, std::int64_t sampleRate) {
    for (std::size_t row = 0; row < values.size(); ++row) {
        frameValues_[row]->setText(QString::number(values[row]));
        timeValues_[row]->setText(Q(DurationText(values[row], sampleRate)));
    }
}

}  // namespace sv

#pragma once
// How the main window's commands hand their operations to the worker thread.
#include "app/MainWindow.h"
#include "app/ProgressWindow.h"

namespace sv {

struct MainWindow::LentDocument {
    std::unique_ptr<Wave> Document;
    SharedSpectra Spectra;
};

template <typename Work, typename Then>
void MainWindow::RunWork(const Command& command, Work work, Then then) {
    PrepareWork();
    worker_.Run(
        std::move(work),
        [this, command, then = std::move(then)](auto result) mutable {
            Guarded(command, [&] { then(std::move(result)); });
        },
        [this, command](std::exception_ptr error) { ReportError(error); });
}

template <typename Work, typename Then>
void MainWindow::RunOnDocument(const Command& command, Work work, Then then) {
    PrepareWork();
    auto lent = std::make_shared<LentDocument>(
        LentDocument{std::move(state_.Document), state_.SpectraShared});
    worker_.Run([lent, work = std::move(work)]() mutable { return work(*lent); },
                [this, command, lent, then = std::move(then)](auto result) mutable {
                    TakeBack(*lent);
                    Guarded(command, [&] { then(std::move(result)); });
                },
                [this, command, lent](std::exception_ptr error) {
                    TakeBack(*lent);
                    ReportError(error);
                });
}

}  // namespace sv

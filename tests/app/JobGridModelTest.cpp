// The table model of the job grid over the core: every change of the job list reaches the
// views as exactly one begin/end pair with the row counts before and after that Qt requires,
// and the cells read as the grid's.
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QItemSelectionModel>

#include <string>
#include <vector>

#include "app/JobGridModel.h"
#include "tests/app/AppTestSupport.h"
#include "tests/app/ProgressLauncher.h"

namespace palomix::testing {
namespace {

// Records the model's signals as text, checking the row count around every insertion and
// removal the way Qt's views rely on it.
class ModelRecorder {
public:
    explicit ModelRecorder(JobGridModel& model) : model_(model) {
        QObject::connect(
            &model, &QAbstractItemModel::rowsAboutToBeInserted,
            [this](const QModelIndex&, int first, int last) {
                before_ = model_.rowCount();
                log.push_back("insert " + std::to_string(first) + ".." + std::to_string(last));
            });
        QObject::connect(&model, &QAbstractItemModel::rowsInserted,
                         [this](const QModelIndex&, int first, int last) {
                             EXPECT_EQ(model_.rowCount(), before_ + last - first + 1);
                         });
        QObject::connect(
            &model, &QAbstractItemModel::rowsAboutToBeRemoved,
            [this](const QModelIndex&, int first, int last) {
                before_ = model_.rowCount();
                log.push_back("remove " + std::to_string(first) + ".." + std::to_string(last));
            });
        QObject::connect(&model, &QAbstractItemModel::rowsRemoved,
                         [this](const QModelIndex&, int first, int last) {
                             EXPECT_EQ(model_.rowCount(), before_ - (last - first + 1));
                         });
        QObject::connect(&model, &QAbstractItemModel::dataChanged,
                         [this](const QModelIndex& from, const QModelIndex& to) {
                             log.push_back("data " + std::to_string(from.row()) + "," +
                                           std::to_string(from.column()) + ".." +
                                           std::to_string(to.row()) + "," +
                                           std::to_string(to.column()));
                         });
        QObject::connect(
            &model, &QAbstractItemModel::headerDataChanged,
            [this](Qt::Orientation, int first, int last) {
                log.push_back("header " + std::to_string(first) + ".." + std::to_string(last));
            });
    }

    std::vector<std::string> Take() { return std::exchange(log, {}); }
    std::vector<std::string> log;

private:
    JobGridModel& model_;
    int before_ = 0;
};

std::string Text(const JobGridModel& model, int row, int column) {
    return model.index(row, column).data().toString().toStdString();
}

// A core whose one command runs until it is stopped (nothing is started), the model over it.
class JobGridModelTest : public ::testing::Test {
protected:
    JobGridModelTest() {
        scratch_.Write("program/convert_settings/t.ini",
                       "[Info]\nTitle=t\n[Item0]\nTitle=run\nCommand0=" + HelperPath("sleep") +
                           " \"<%InputFile%>\"\n");
        EngineSetup setup;
        setup.programFolder = scratch_.Path("program");
        setup.makeLauncher = [logs = scratch_.MakeFolder("logs")](PostToHost post) {
            return std::make_unique<ProgressLauncher>(
                std::move(post), logs, "", [](const std::string&) { return std::string(); });
        };
        engine_ = std::make_unique<Engine>(std::move(setup), [](std::function<void()> task) {
            QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(task),
                                      Qt::QueuedConnection);
        });
        engine_->LoadCatalogue(Language::Japanese);
        engine_->SetOutputFolder(scratch_.Path("out"));
    }

    std::vector<std::string> Files(const std::vector<std::string>& names) const {
        std::vector<std::string> paths;
        for (const std::string& name : names) {
            paths.push_back(scratch_.Write("in/" + name, "v"));
        }
        return paths;
    }

    ScratchFolder scratch_;
    std::unique_ptr<Engine> engine_;
};

TEST_F(JobGridModelTest, EmptyListIsOneBlankRowBelowTheHeader) {
    JobGridModel model(*engine_);
    model.SetCaptions(CaptionsFor(Language::Japanese), RunTextsFor(Language::Japanese));
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.columnCount(), 3);
    EXPECT_EQ(Text(model, 0, 0), "");
    EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString().toStdString(),
              "動画ファイルのフルパス");
    EXPECT_FALSE(model.headerData(0, Qt::Vertical).isValid());
    // The status column is drawn in the fixed colour, like the header; the others white.
    EXPECT_EQ(model.index(0, 0).data(Qt::BackgroundRole).value<QColor>(), QColor(226, 226, 226));
    EXPECT_EQ(model.index(0, 1).data(Qt::BackgroundRole).value<QColor>(), QColor(255, 255, 255));
    EXPECT_EQ(model.headerData(1, Qt::Horizontal, Qt::BackgroundRole).value<QColor>(),
              QColor(226, 226, 226));
    EXPECT_FALSE(model.flags(model.index(0, 1)) & Qt::ItemIsEditable);
    EXPECT_TRUE(model.flags(model.index(0, 1)) & Qt::ItemIsSelectable);
}

TEST_F(JobGridModelTest, ChangesOfTheListArePreciseInsertionsRemovalsAndCellChanges) {
    JobGridModel model(*engine_);
    model.SetCaptions(CaptionsFor(Language::Japanese), RunTextsFor(Language::Japanese));
    ModelRecorder recorder(model);

    const std::vector<std::string> clip = Files({"clip.mp4"});
    engine_->AddFiles(clip);  // takes the blank row
    EXPECT_EQ(recorder.Take(), std::vector<std::string>{"data 0,0..0,2"});
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(Text(model, 0, 0), "Wait...");
    EXPECT_EQ(Text(model, 0, 1), "clip.mp4");
    EXPECT_EQ(Text(model, 0, 2), clip[0]);

    engine_->AddFiles(Files({"a", "b", "c"}));  // one drop, one insertion
    EXPECT_EQ(recorder.Take(), std::vector<std::string>{"insert 1..3"});
    EXPECT_EQ(Text(model, 3, 1), "c");

    engine_->StartRun();
    EXPECT_EQ(Text(model, 0, 0), "Converting...(00:00:00)");
    engine_->Tick();
    EXPECT_EQ(Text(model, 0, 0), "Converting...(00:00:01)");
    for (const std::string& change : recorder.Take()) {
        EXPECT_EQ(change, "data 0,0..0,0");  // the head's status, nothing else
    }
    // A change of language: the captions and the words of the status column.
    model.SetCaptions(CaptionsFor(Language::English), RunTextsFor(Language::English));
    EXPECT_EQ(recorder.Take(), (std::vector<std::string>{"header 0..2", "data 0,0..3,0"}));
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString().toStdString(), "Status (Time)");

    // "c" below the converting head: the rows from there to where it stood show others now.
    const std::vector<JobId> c = {engine_->Job(3).id};
    engine_->MoveToTop(c);
    EXPECT_EQ(recorder.Take(), std::vector<std::string>{"data 1,0..3,2"});
    EXPECT_EQ(Text(model, 1, 1), "c");
    const std::vector<JobId> waiting = {engine_->Job(1).id, engine_->Job(3).id};
    engine_->RemoveWaiting(waiting);
    EXPECT_EQ(recorder.Take(), (std::vector<std::string>{"remove 3..3", "remove 1..1"}));
    EXPECT_EQ(Text(model, 1, 1), "a");

    // The last jobs go: the first row stays, blank.
    engine_->RemoveWaiting(std::vector<JobId>{engine_->Job(1).id});
    engine_->StopAll();
    ASSERT_TRUE(WaitUntil([&] { return engine_->JobCount() == 0; }));
    EXPECT_EQ(recorder.Take().back(), "data 0,0..0,2");
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(Text(model, 0, 2), "");
}

TEST_F(JobGridModelTest, ADropOfManyFilesIsOneChangeOfTheBlankRowAndOneInsertion) {
    JobGridModel model(*engine_);
    ModelRecorder recorder(model);
    std::vector<std::string> paths;
    for (int i = 0; i < 1000; ++i) {
        paths.push_back("/f/" + std::to_string(i));
    }
    engine_->AddFiles(paths);
    EXPECT_EQ(recorder.Take(), (std::vector<std::string>{"data 0,0..0,2", "insert 1..999"}));
    EXPECT_EQ(model.rowCount(), 1000);
    EXPECT_EQ(Text(model, 999, 1), "999");
}

TEST_F(JobGridModelTest, JobsLeavingALongListOneByOneMoveTheRowsUpAndAreRemovedInOneGoLater) {
    JobGridModel model(*engine_);
    std::vector<std::string> paths;
    for (int i = 0; i < 1000; ++i) {
        paths.push_back("/f/" + std::to_string(i));
    }
    engine_->AddFiles(paths);
    QItemSelectionModel selection(&model);
    const auto rows = [&](int top, int bottom) {
        return QItemSelection(model.index(top, 0), model.index(bottom, kJobGridColumns - 1));
    };
    selection.select(rows(0, 1), QItemSelectionModel::Select);    // 0, 1
    selection.select(rows(3, 999), QItemSelectionModel::Select);  // 3 .. 999
    selection.setCurrentIndex(model.index(3, 0), QItemSelectionModel::NoUpdate);
    ModelRecorder recorder(model);

    // A removal costs a view as much as the rows it holds: none while jobs go one by one.
    engine_->RemoveWaiting(std::vector<JobId>{engine_->Job(1).id});
    engine_->RemoveWaiting(std::vector<JobId>{engine_->Job(0).id});
    EXPECT_EQ(recorder.Take(), (std::vector<std::string>{"data 1,0..999,2", "data 0,0..999,2"}));
    EXPECT_EQ(model.rowCount(), 1000);
    EXPECT_EQ(Text(model, 0, 1), "2");
    EXPECT_EQ(Text(model, 997, 1), "999");
    EXPECT_EQ(Text(model, 998, 1), "");
    EXPECT_FALSE(model.flags(model.index(998, 1)) & Qt::ItemIsSelectable);
    // The selection and the current row stay with their jobs, as after a removal of the rows.
    EXPECT_FALSE(selection.isRowSelected(0, {}));
    EXPECT_TRUE(selection.isRowSelected(1, {}) && selection.isRowSelected(997, {}));
    EXPECT_FALSE(selection.isRowSelected(998, {}));
    EXPECT_EQ(selection.currentIndex().row(), 1);

    // Jobs added meanwhile take the blank rows; the rest go a moment later in one removal.
    engine_->AddFiles(std::vector<std::string>{"/g"});
    EXPECT_EQ(recorder.Take(), std::vector<std::string>{"data 998,0..998,2"});
    ASSERT_TRUE(WaitUntil([&] { return model.rowCount() == 999; }));
    EXPECT_EQ(recorder.Take(), std::vector<std::string>{"remove 999..999"});
    EXPECT_EQ(Text(model, 998, 1), "g");
    EXPECT_TRUE(selection.isRowSelected(997, {}));
}

TEST(JobStatusWordsTest, AJobThatCouldNotStartNamesItsProgramInTheLanguage) {
    const JobStatus notStarted{JobState::NotStarted, 4, "ffmpeg"};
    EXPECT_EQ(StatusWords(notStarted, RunTextsFor(Language::Japanese)), "起動できません: ffmpeg");
    EXPECT_EQ(StatusWords(notStarted, RunTextsFor(Language::English)), "Could not start: ffmpeg");
    EXPECT_EQ(
        StatusWords(JobStatus{JobState::Converting, 360000, {}}, RunTextsFor(Language::English)),
        "Converting...(100:00:00)");
}

}  // namespace
}  // namespace palomix::testing

// The table model of the job grid: every change of the job list reaches the views as exactly
// one begin/end pair with the row counts before and after that Qt requires, and the cells
// read as the grid's.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/JobGridModel.h"

namespace palomix {
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

TEST(JobGridModelTest, EmptyListIsOneBlankRowBelowTheHeader) {
    JobQueue queue(PathStyle::Posix);
    JobGridModel model(queue);
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

TEST(JobGridModelTest, ChangesOfTheListArePreciseInsertionsRemovalsAndCellChanges) {
    JobQueue queue(PathStyle::Posix);
    JobGridModel model(queue);
    ModelRecorder recorder(model);

    queue.AddJob("/v/clip.mp4");  // takes the blank row
    EXPECT_EQ(recorder.Take(), std::vector<std::string>{"data 0,0..0,2"});
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(Text(model, 0, 0), "Wait...");
    EXPECT_EQ(Text(model, 0, 1), "clip.mp4");
    EXPECT_EQ(Text(model, 0, 2), "/v/clip.mp4");

    const std::vector<std::string> more = {"/v/a", "/v/b", "/v/c"};
    queue.AddJobs(more);  // one drop, one insertion
    EXPECT_EQ(recorder.Take(), std::vector<std::string>{"insert 1..3"});
    EXPECT_EQ(Text(model, 3, 1), "c");

    queue.SetStatus(queue.Id(0), JobStatus{JobState::Converting, 1, {}});
    EXPECT_EQ(recorder.Take(), std::vector<std::string>{"data 0,0..0,0"});
    EXPECT_EQ(Text(model, 0, 0), "Converting...(00:00:01)");
    queue.SetStatus(queue.Id(1), JobStatus{JobState::NotStarted, 4, "ffmpeg"});
    EXPECT_EQ(Text(model, 1, 0), "起動できません: ffmpeg");
    // A change of language: the captions and the words of the status column.
    model.SetCaptions(CaptionsFor(Language::English), RunTextsFor(Language::English));
    EXPECT_EQ(recorder.Take(),
              (std::vector<std::string>{"data 1,0..1,0", "header 0..2", "data 0,0..3,0"}));
    EXPECT_EQ(Text(model, 1, 0), "Could not start: ffmpeg");
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString().toStdString(), "Status (Time)");
    queue.SetStatus(queue.Id(1), JobStatus{});
    EXPECT_EQ(recorder.Take(), std::vector<std::string>{"data 1,0..1,0"});

    queue.RemoveHeadJob();
    EXPECT_EQ(recorder.Take(), std::vector<std::string>{"remove 0..0"});
    EXPECT_EQ(Text(model, 0, 2), "/v/a");
    EXPECT_EQ(Text(model, 0, 0), "Wait...");
    queue.RemoveHeadJob();
    queue.RemoveHeadJob();
    EXPECT_EQ(recorder.Take(), (std::vector<std::string>{"remove 0..0", "remove 0..0"}));
    queue.RemoveHeadJob();  // the last one: row 1 stays, blank
    EXPECT_EQ(recorder.Take(), std::vector<std::string>{"data 0,0..0,2"});
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(Text(model, 0, 2), "");
}

TEST(JobGridModelTest, AnAppendBatchIsReportedOnceWhenItEnds) {
    JobQueue queue(PathStyle::Posix);
    JobGridModel model(queue);
    ModelRecorder recorder(model);
    queue.BeginAppend();
    for (int i = 0; i < 1000; ++i) {
        queue.AddJob("/f/" + std::to_string(i));
    }
    EXPECT_TRUE(recorder.log.empty());
    queue.EndAppend();
    EXPECT_EQ(recorder.Take(), (std::vector<std::string>{"data 0,0..0,2", "insert 1..999"}));
    EXPECT_EQ(model.rowCount(), 1000);
    EXPECT_EQ(Text(model, 999, 1), "999");
}

}  // namespace
}  // namespace palomix

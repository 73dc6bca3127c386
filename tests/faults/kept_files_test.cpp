// A file of the output's name that is there before a job keeps every byte
// when the job fails, and is replaced only by a finished output.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "app/status_job.h"
#include "format/container.h"
#include "tests/faults/job_runs.h"

namespace {

const Bytes kUsersFile = bytes_of("the user's own notes, not to be lost\n");

// The compressed form of an odd-length excerpt of real text, made by the
// compress job from case.txt: header 83 (raw first byte, extension txt).
Bytes compressed_excerpt(Bytes* original) {
    Bytes text = corpus_file("alice29.txt");
    *original = Bytes(text.begin() + 5000, text.begin() + 5000 + 4001);
    TempDir dir;
    write_file(dir.file("case.txt"), *original);
    JobRun run = run_compress_job(dir.file("case.txt"));
    EXPECT_FALSE(run.failed) << run.message;
    return read_file(dir.file("case.Q73"));
}

TEST(KeptFiles, EveryTruncationBesideTheRestoredNameKeepsThatFile) {
    Bytes original;
    Bytes whole = compressed_excerpt(&original);
    ASSERT_GT(whole.size(), 20u);
    TempDir dir;
    // Every cut in the header and the first records, then a sample of the
    // rest, up to the last byte.
    for (size_t cut = 0; cut < whole.size(); cut += cut < 64 || cut + 8 >= whole.size() ? 1 : 29) {
        write_file(dir.file("case.txt"), kUsersFile);
        write_file(dir.file("case.Q73"), Bytes(whole.begin(), whole.begin() + cut));
        JobRun run = run_expand_job(dir.file("case.Q73"));
        ASSERT_TRUE(run.failed) << "cut at " << cut;
        EXPECT_FALSE(run.output_left_open) << "cut at " << cut;
        ASSERT_EQ(read_file(dir.file("case.txt")), kUsersFile) << "cut at " << cut;
        ASSERT_EQ(folder_entries(dir.path()), (std::vector<std::string>{"case.Q73", "case.txt"}))
            << "cut at " << cut;
    }
}

TEST(KeptFiles, AFinishedJobReplacesTheFileAndLeavesNoTemporary) {
    Bytes original;
    Bytes whole = compressed_excerpt(&original);
    TempDir dir;
    write_file(dir.file("case.txt"), kUsersFile);
    write_file(dir.file("case.Q73"), whole);
    ASSERT_EQ(chmod(dir.file("case.Q73").c_str(), 0640), 0);
    JobRun run = run_expand_job(dir.file("case.Q73"));
    ASSERT_FALSE(run.failed) << run.message;
    EXPECT_EQ(read_file(dir.file("case.txt")), original);
    EXPECT_EQ(folder_entries(dir.path()), (std::vector<std::string>{"case.Q73", "case.txt"}));
    struct stat restored;
    ASSERT_EQ(stat(dir.file("case.txt").c_str(), &restored), 0);
    EXPECT_EQ(restored.st_mode & 07777, 0640u);

    // And the other way: the old compressed file gives way to the new one.
    write_file(dir.file("case.Q73"), bytes_of("an old compressed file"));
    run = run_compress_job(dir.file("case.txt"));
    ASSERT_FALSE(run.failed) << run.message;
    EXPECT_EQ(read_file(dir.file("case.Q73")), whole);
    EXPECT_EQ(folder_entries(dir.path()), (std::vector<std::string>{"case.Q73", "case.txt"}));
}

// A job sends its output to the disk block by block exactly when it syncs
// the output at its end: when the output replaces a file (also a dangling
// link), when the input goes next, or when asked to, but not for a new name.
TEST(KeptFiles, OnlyAnOutputThatCouldCostDataIsSynced) {
    TempDir dir;
    write_file(dir.file("case.txt"), kUsersFile);
    auto synced = [&] {
        JobRun run = run_compress_job(dir.file("case.txt"));
        EXPECT_FALSE(run.failed) << run.message;
        return job_control.write_out_early;
    };
    EXPECT_FALSE(synced());  // the first run writes case.Q73 anew
    EXPECT_TRUE(synced());   // the second replaces it
    ASSERT_EQ(unlink(dir.file("case.Q73").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", dir.file("case.Q73").c_str()), 0);
    EXPECT_TRUE(synced());
    ASSERT_EQ(unlink(dir.file("case.Q73").c_str()), 0);
    job_files.sync_output_folder = true;
    EXPECT_TRUE(synced());
    job_files.sync_output_folder = false;
    ASSERT_EQ(unlink(dir.file("case.Q73").c_str()), 0);
    job_files.always_sync_output = true;
    EXPECT_TRUE(synced());
    job_files.always_sync_output = false;
    ASSERT_EQ(unlink(dir.file("case.Q73").c_str()), 0);
    EXPECT_FALSE(synced());
}

TEST(KeptFiles, AFolderOfTheOutputNameIsRefusedBeforeAnythingIsWritten) {
    TempDir dir;
    write_file(dir.file("case.txt"), kUsersFile);
    ASSERT_EQ(mkdir(dir.file("case.Q73").c_str(), 0755), 0);
    JobRun run = run_compress_job(dir.file("case.txt"));
    EXPECT_TRUE(run.failed);
    EXPECT_EQ(run.message, "ERROR: Can't open outfile");
    EXPECT_EQ(folder_entries(dir.path()), (std::vector<std::string>{"case.Q73", "case.txt"}));
    EXPECT_TRUE(folder_entries(dir.file("case.Q73")).empty());
}

}  // namespace

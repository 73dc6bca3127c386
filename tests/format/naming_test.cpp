// Compressed and restored names, both ways, and names that do not fit.
#include <gtest/gtest.h>

#include <string>

#include "format/naming.h"

namespace {

struct NamingRow {
    const char* uncompressed;
    const char* extension;  // null when none is stored
    const char* compressed;
};

TEST(Naming, TheTableHoldsBothWays) {
    const NamingRow rows[] = {
        {"notes.txt", "txt", "notes.Q73"},     {"README", nullptr, "README.Q73"},
        {"photo.jpeg", nullptr, "photo.jpeg.Q73"}, {"main.cc", nullptr, "main.cc.Q73"},
        {"a.b.c", "b.c", "a.Q73"},            {"dir/Notes.TXT", "TXT", "dir/Notes.Q73"},
        {".txt", "txt", ".Q73"},              {"notes.q73", nullptr, "notes.q73.Q73"},
        {"x.Q73", nullptr, "x.Q73.Q73"},
    };
    for (const NamingRow& row : rows) {
        char out[kNameCapacity];
        char extension[3];
        bool stored = false;
        ASSERT_TRUE(make_compressed_name(row.uncompressed, out, extension, &stored));
        EXPECT_STREQ(out, row.compressed);
        EXPECT_EQ(stored, row.extension != nullptr) << row.uncompressed;
        if (row.extension) {
            EXPECT_EQ(std::string(extension, 3), row.extension);
        }

        char restored[kNameCapacity];
        const uint8_t* stored_bytes =
            row.extension ? reinterpret_cast<const uint8_t*>(row.extension) : nullptr;
        ASSERT_TRUE(make_restored_name(row.compressed, stored_bytes, restored));
        EXPECT_STREQ(restored, row.uncompressed);
    }
}

TEST(Naming, TheRestoredNameDropsTheCompressedExtensionInAnyCase) {
    char restored[kNameCapacity];
    ASSERT_TRUE(make_restored_name("report.q73", nullptr, restored));
    EXPECT_STREQ(restored, "report");
    const uint8_t short_extension[3] = {'c', 0, 'x'};
    ASSERT_TRUE(make_restored_name("x.Q73", short_extension, restored));
    EXPECT_STREQ(restored, "x.c");
}

TEST(Naming, NamesThatWouldNotFitAreRefused) {
    char out[kNameCapacity];
    char extension[3];
    bool stored;
    EXPECT_TRUE(make_compressed_name(std::string(1019, 'n').c_str(), out, extension, &stored));
    EXPECT_EQ(std::string(out).size(), 1023u);
    EXPECT_FALSE(make_compressed_name(std::string(1020, 'n').c_str(), out, extension, &stored));
    // A stored extension shortens the name by four before ".Q73" is added.
    EXPECT_TRUE(make_compressed_name((std::string(1019, 'n') + ".txt").c_str(), out, extension, &stored));

    const uint8_t txt[3] = {'t', 'x', 't'};
    EXPECT_TRUE(make_restored_name((std::string(1019, 'n') + ".Q73").c_str(), txt, out));
    EXPECT_EQ(std::string(out), std::string(1019, 'n') + ".txt");
    EXPECT_FALSE(make_restored_name(std::string(1024, 'n').c_str(), nullptr, out));
}

TEST(Naming, ExtensionsThatLeaveTheFolderAreUnsafe) {
    auto unsafe = [](const char* e) { return is_unsafe_extension(reinterpret_cast<const uint8_t*>(e)); };
    EXPECT_FALSE(unsafe("txt"));
    EXPECT_FALSE(unsafe("b.c"));
    EXPECT_TRUE(unsafe("a/b"));
    EXPECT_TRUE(unsafe("..\\"));
    EXPECT_TRUE(unsafe("c:x"));
    EXPECT_TRUE(unsafe("a\nb"));
    EXPECT_TRUE(unsafe("\x7f" "ab"));
}

TEST(Naming, TheTemporaryNameLiesInTheFolderOfTheFinalName) {
    char out[kTemporaryNameCapacity];
    make_temporary_name("notes.Q73", 0x1a2b, 0, out);
    EXPECT_STREQ(out, ".q73-00001a2b-00.tmp");
    make_temporary_name("/home/a.b/c/x.txt", 0xfedcba98u, 15, out);
    EXPECT_STREQ(out, "/home/a.b/c/.q73-fedcba98-0f.tmp");
    make_temporary_name("C:notes.txt", 7, 1, out);
    EXPECT_STREQ(out, "C:.q73-00000007-01.tmp");
    make_temporary_name("dir\\sub/y.c\\d", 7, 1, out);
    EXPECT_STREQ(out, "dir\\sub/y.c\\.q73-00000007-01.tmp");
    // Only the second character can be a drive's colon.
    make_temporary_name("x.c:a", 7, 1, out);
    EXPECT_STREQ(out, ".q73-00000007-01.tmp");

    // The longest final name still gets its whole temporary name, in
    // its folder: nothing is cut.
    std::string folder = std::string(1020, 'd') + "/";
    make_temporary_name((folder + "ab").c_str(), 1, 2, out);
    EXPECT_EQ(std::string(out), folder + ".q73-00000001-02.tmp");
}

}  // namespace

// Text lists: line ends on reading and writing, atomic replacement, the ASCII
// case rules, trimming, key look-ups, splitting, the sorted list.
#include "utils.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "test_folder.h"

namespace {

using testing_support::ReadBytes;
using testing_support::TempFolder;
using testing_support::WriteBytes;
using toolkit::TextList;

TEST(SplitLines, AcceptsEveryLineEnd) {
    EXPECT_EQ(toolkit::SplitLines("a\r\nb\r\n"), (TextList{"a", "b"}));
    EXPECT_EQ(toolkit::SplitLines("a\nb\n"), (TextList{"a", "b"}));
    EXPECT_EQ(toolkit::SplitLines("a\rb\r"), (TextList{"a", "b"}));
    EXPECT_EQ(toolkit::SplitLines("a\r\nb\nc\rd"), (TextList{"a", "b", "c", "d"}));
    // CR then CR LF: an empty line between.
    EXPECT_EQ(toolkit::SplitLines("a\r\r\nb"), (TextList{"a", "", "b"}));
    EXPECT_EQ(toolkit::SplitLines("a\n\nb"), (TextList{"a", "", "b"}));
    EXPECT_EQ(toolkit::SplitLines("\n\r\n"), (TextList{"", ""}));
    EXPECT_EQ(toolkit::SplitLines("last without end"), (TextList{"last without end"}));
    EXPECT_TRUE(toolkit::SplitLines("").empty());
    EXPECT_EQ(toolkit::SplitLines(std::string_view("a\0b\n", 4)),
              (TextList{std::string("a\0b", 3)}));
}

TEST(LoadLines, ReadsFilesAndNamesTheMissingOne) {
    TempFolder folder;
    const std::string path = folder / "liste.ip";
    WriteBytes(path, "pc1 192.168.1.2\r\npc2 192.168.1.3");
    EXPECT_EQ(toolkit::LoadLines(path), (TextList{"pc1 192.168.1.2", "pc2 192.168.1.3"}));
    // An editor's "UTF-8 with BOM": the mark is no part of the first name.
    WriteBytes(path, "\xEF\xBB\xBF" "Comptabilit\xC3\xA9 192.168.1.2\r\n");
    EXPECT_EQ(toolkit::LoadLines(path), TextList{"Comptabilité 192.168.1.2"});
    EXPECT_EQ(toolkit::LoadOutputLines(path), TextList{"Comptabilité 192.168.1.2"});

    const std::string missing = folder / "absent";
    try {
        toolkit::LoadLines(missing);
        ADD_FAILURE() << "no error for a missing file";
    } catch (const toolkit::FileError& error) {
        EXPECT_NE(std::string(error.what())
                      .find("Impossible d'ouvrir le fichier « " + missing +
                            " » : fichier ou dossier introuvable"),
                  std::string::npos)
            << error.what();
    }
    EXPECT_THROW(toolkit::LoadLines(folder.Path()), toolkit::FileError);  // a folder
}

// Special files a list path may name by mistake or by malice, made inside
// the test's own folder: a FIFO, a device node like /dev/null (root only),
// links. Each entry: its name, and whether it could be made.
struct SpecialFiles {
    explicit SpecialFiles(const TempFolder& folder)
        : fifo(folder / "tube"),
          device(folder / "nul"),
          link(folder / "lien"),
          dangling(folder / "lien-mort"),
          target(folder / "cible") {
        WriteBytes(target, "cible\r\n");
        EXPECT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        EXPECT_EQ(symlink(target.c_str(), link.c_str()), 0);
        EXPECT_EQ(symlink((folder / "absent").c_str(), dangling.c_str()), 0);
        hasDevice = mknod(device.c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0;
    }
    std::string fifo, device, link, dangling, target;
    bool hasDevice = false;
};

mode_t TypeOf(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 ? info.st_mode & S_IFMT : 0;
}

void ExpectRefusal(const std::function<void()>& action, const std::string& path,
                   const std::string& reason) {
    try {
        action();
        ADD_FAILURE() << path << " was accepted";
    } catch (const toolkit::FileError& error) {
        const std::string text = error.what();
        EXPECT_NE(text.find("« " + path + " »"), std::string::npos) << text;
        EXPECT_NE(text.find(reason), std::string::npos) << text;
    }
}

TEST(LoadLines, ReadsOnlyRegularFilesOfBoundedSize) {
    TempFolder folder;
    const SpecialFiles special(folder);
    const testing_support::FifoFeeder feeder(special.fifo);
    const std::string huge = folder / "enorme", largest = folder / "juste";
    WriteBytes(huge, "");
    std::filesystem::resize_file(huge, toolkit::kMaxListBytes + 1);
    WriteBytes(largest, std::string(toolkit::kMaxListBytes - 2, 'a') + "\r\n");
    const struct {
        std::string path;
        std::string reason;
    } refused[] = {
        {special.fifo, "c'est un tube nommé, pas un fichier ordinaire"},
        {special.device, "c'est un périphérique, pas un fichier ordinaire"},
        {folder.Path(), "c'est un dossier, pas un fichier ordinaire"},
        {huge, "Impossible de lire le fichier « " + huge + " » : il dépasse 16 Mio"},
    };
    for (const auto& entry : refused) {
        if (entry.path == special.device && !special.hasDevice) continue;
        ExpectRefusal([&] { toolkit::LoadLines(entry.path); }, entry.path, entry.reason);
    }
    EXPECT_EQ(toolkit::LoadLines(largest).size(), 1u);
    EXPECT_EQ(toolkit::LoadLines(special.link), TextList{"cible"});  // reading follows links
}

// Renaming over a link, a FIFO or a device would replace the entry itself.
TEST(SaveLines, RefusesADestinationThatIsNotARegularFile) {
    TempFolder folder;
    const SpecialFiles special(folder);
    const std::size_t entries =
        std::distance(std::filesystem::directory_iterator(folder.Path()), {});
    for (const std::string& path : {special.fifo, special.device, special.link, special.dangling}) {
        if (path == special.device && !special.hasDevice) continue;
        const mode_t type = TypeOf(path);
        ExpectRefusal([&] { toolkit::SaveLines(path, {"x"}); }, path, "pas un fichier ordinaire");
        ExpectRefusal([&] { toolkit::SaveText(path, "x"); }, path, "laissé tel quel");
        EXPECT_EQ(TypeOf(path), type) << path;
    }
    EXPECT_EQ(ReadBytes(special.target), "cible\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), entries);
}

TEST(SaveLines, EveryLineEndsWithCrLfAndEmptyIsZeroBytes) {
    TempFolder folder;
    const std::string path = folder / "liste.mac";
    toolkit::SaveLines(path, {"PC1 02-00-00-AA-BB-CC", "", "é"});
    EXPECT_EQ(ReadBytes(path), "PC1 02-00-00-AA-BB-CC\r\n\r\né\r\n");
    toolkit::SaveLines(path, {});
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
    toolkit::SaveText(path, "raw\nbytes");
    EXPECT_EQ(ReadBytes(path), "raw\nbytes");
    const TextList lines = {"a", " b ", "c=d"};
    toolkit::SaveLines(path, lines);
    EXPECT_EQ(toolkit::LoadLines(path), lines);
    // Only the list itself is left: no temporary file lingers.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);
}

TEST(SaveLines, KeepsTheModeOfTheFileItReplaces) {
    TempFolder folder;
    const std::string kept = folder / "kept", fresh = folder / "fresh";
    WriteBytes(kept, "old\r\n");
    ASSERT_EQ(chmod(kept.c_str(), 0640), 0);
    toolkit::SaveLines(kept, {"new"});
    struct stat info {};
    ASSERT_EQ(stat(kept.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    const mode_t previous = umask(027);
    toolkit::SaveLines(fresh, {"x"});
    umask(previous);
    ASSERT_EQ(stat(fresh.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);  // 0666 less the umask
}

// Whoever opens the temporary file while the list is written keeps reading
// it: it must never be readable by more people than the list it replaces.
TEST(SaveLines, PrivateListIsNeverWrittenIntoAWiderFile) {
    TempFolder folder;
    const std::string path = folder / "liste.mac";
    WriteBytes(path, "old\r\n");
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    const int watch = inotify_init1(IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, folder.Path().c_str(), IN_CREATE), 0);
    mode_t seen = 0;
    std::thread watcher([&] {
        alignas(inotify_event) char buffer[4096];
        if (read(watch, buffer, sizeof buffer) <= 0) return;
        const auto* event = reinterpret_cast<const inotify_event*>(buffer);
        struct stat info {};
        if (stat((folder / event->name).c_str(), &info) == 0) seen = info.st_mode & 07777;
    });
    const mode_t previous = umask(022);
    // Long enough to be still under way when the watcher looks.
    toolkit::SaveLines(path, TextList(400000, "PC-0000 02-00-00-AA-BB-CC"));
    umask(previous);
    watcher.join();
    close(watch);
    EXPECT_EQ(seen & 077, 0u) << std::oct << seen;
}

TEST(SaveLines, FailedWriteKeepsTheOldFileAndLeavesNoTemporary) {
    TempFolder folder;
    const std::string taken = folder / "taken";
    ASSERT_EQ(mkdir(taken.c_str(), 0700), 0);
    try {
        toolkit::SaveLines(taken, {"x"});
        ADD_FAILURE() << "a folder was replaced by a list";
    } catch (const toolkit::FileError& error) {
        EXPECT_NE(std::string(error.what()).find("Impossible d'écrire le fichier « " + taken),
                  std::string::npos)
            << error.what();
    }
    EXPECT_TRUE(std::filesystem::is_directory(taken));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);

    EXPECT_THROW(toolkit::SaveLines(folder / "no/such/folder/list", {"x"}), toolkit::FileError);

    if (geteuid() != 0) {  // root writes into read-only folders anyway
        const std::string locked = folder / "locked", list = locked + "/list";
        ASSERT_EQ(mkdir(locked.c_str(), 0700), 0);
        toolkit::SaveLines(list, {"old"});
        ASSERT_EQ(chmod(locked.c_str(), 0500), 0);
        EXPECT_THROW(toolkit::SaveLines(list, {"new"}), toolkit::FileError);
        EXPECT_EQ(ReadBytes(list), "old\r\n");
        chmod(locked.c_str(), 0700);  // so that the folder can be cleaned up
    }
}

// A reader running beside the writer sees one whole list or the other, never
// a mixture or a cut: the other program may load a list at any moment.
TEST(SaveLines, ConcurrentReaderNeverSeesAPartialList) {
    TempFolder folder;
    const std::string path = folder / "liste.ip";
    TextList first, second;
    for (int i = 0; i < 5000; ++i) {
        first.push_back("pc" + std::to_string(i) + " 10.0." + std::to_string(i % 256) + ".1");
        second.push_back("machine-" + std::to_string(i) + " 192.168.0.2");
    }
    toolkit::SaveLines(path, first);
    std::atomic<bool> done{false};
    int reads = 0, torn = 0;
    std::thread reader([&] {
        while (!done) {
            const TextList seen = toolkit::LoadLines(path);
            ++reads;
            if (seen != first && seen != second) ++torn;
        }
    });
    for (int round = 0; round < 60; ++round) toolkit::SaveLines(path, round % 2 ? first : second);
    done = true;
    reader.join();
    EXPECT_GT(reads, 0);
    EXPECT_EQ(torn, 0);
}

TEST(CaseRules, OnlyAsciiLettersChangeCase) {
    EXPECT_EQ(toolkit::AsciiLower("PC-Salon 02-AB"), "pc-salon 02-ab");
    EXPECT_EQ(toolkit::AsciiUpper("pc-salon 02-ab"), "PC-SALON 02-AB");
    // UTF-8 "É"/"é" and their single-byte forms stay as they are.
    EXPECT_EQ(toolkit::AsciiLower("ÉCOLE"), "École");
    EXPECT_EQ(toolkit::AsciiUpper("été"), "éTé");
    EXPECT_EQ(toolkit::AsciiLower("\xC9T\xC9"), "\xC9t\xC9");
    EXPECT_EQ(toolkit::AsciiUpper("\xE9t\xE9"), "\xE9T\xE9");
    EXPECT_EQ(toolkit::AsciiLower("@[`{"), "@[`{");  // neighbours of the letters
    EXPECT_TRUE(toolkit::EqualsIgnoreCase("PC1.Maison", "pc1.maison"));
    EXPECT_FALSE(toolkit::EqualsIgnoreCase("École", "école"));
    EXPECT_FALSE(toolkit::EqualsIgnoreCase("pc1", "pc1 "));
}

TEST(CaseRules, CompareOrdersBytesAfterLowerCasing) {
    EXPECT_LT(toolkit::CompareIgnoreCase("a", "B"), 0);
    EXPECT_GT(toolkit::CompareIgnoreCase("b", "A"), 0);
    EXPECT_EQ(toolkit::CompareIgnoreCase("PC", "pc"), 0);
    // Letters compare in lower case: '_' (0x5F) lies above 'A' but below 'a'.
    EXPECT_LT(toolkit::CompareIgnoreCase("_", "A"), 0);
    EXPECT_LT(toolkit::CompareIgnoreCase("_", "a"), 0);
    EXPECT_LT(toolkit::CompareIgnoreCase("z", "\xC3\xA9"), 0);  // bytes >= 0x80 sort last
    EXPECT_LT(toolkit::CompareIgnoreCase("pc", "pc1"), 0);
    EXPECT_LT(toolkit::CompareIgnoreCase("192.168.1.10", "192.168.1.2"), 0);
}

TEST(SortOrder, PunctuationBeforeDigitsBeforeLettersCaseIgnored) {
    struct Case {
        const char* before;
        const char* after;
    };
    for (const Case& c : std::vector<Case>{
             {"192.168.1.10=pc", "192.168.1.100=pc"},  // "=" before "0"
             {"192.168.1.10", "192.168.1.2"},          // text, not numbers
             {"192.168.1.9=z", "192.168.1.90=a"},
             {"a", "B"},
             {"pc", "pc1"},  // a line that begins another comes first
             {"pc-salon", "pc1"},
             {"pc_salon", "pcsalon"},
             {"~", "0"},
             {"9", "a"},
             {"z", "\xC3\xA9"},  // bytes from 0x80 are letters after z
             {"", " "},
         }) {
        SCOPED_TRACE(std::string(c.before) + " < " + c.after);
        EXPECT_LT(toolkit::CompareSortOrder(c.before, c.after), 0);
        EXPECT_GT(toolkit::CompareSortOrder(c.after, c.before), 0);
    }
    EXPECT_EQ(toolkit::CompareSortOrder("192.168.1.5=PC1", "192.168.1.5=pc1"), 0);
    EXPECT_NE(toolkit::CompareSortOrder("\xC3\xA9", "\xC3\x89"), 0);  // only ASCII letters fold
}

TEST(Trim, RemovesBlanksAndControlCharactersAtBothEnds) {
    EXPECT_EQ(toolkit::Trim("\t\x01 pc 1 \r\n\x1f"), "pc 1");
    EXPECT_EQ(toolkit::Trim(std::string_view("\0x\0", 3)), "x");
    EXPECT_EQ(toolkit::Trim(" \x7f "), "\x7f");
    EXPECT_EQ(toolkit::Trim("\xA0x\xA0"), "\xA0x\xA0");
    EXPECT_EQ(toolkit::Trim(" \t\r\n "), "");
}

TEST(LineLookups, WholeLinesAndKeysIgnoreCaseSubstringsDoNot) {
    const TextList list = {"PC-Salon", "ip=192.168.1.2", "Masque=255.255.255.0", "masque",
                           "dns=a=b"};
    EXPECT_EQ(toolkit::IndexOfLine(list, "pc-salon"), 0u);
    EXPECT_EQ(toolkit::IndexOfLine(list, "pc-salo"), std::nullopt);
    EXPECT_EQ(toolkit::IndexOfKey(list, "IP"), 1u);
    EXPECT_EQ(toolkit::ValueOfKey(list, "masque"), "255.255.255.0");
    EXPECT_EQ(toolkit::ValueOfKey(list, "DNS"), "a=b");
    EXPECT_EQ(toolkit::ValueOfKey(list, "pc-salon"), "");  // a line without "=" has no key
    EXPECT_EQ(toolkit::IndexOfKey(list, "absent"), std::nullopt);
    EXPECT_TRUE(toolkit::Contains("pc-salon 192.168.1.2", "192.168.1.2"));
    EXPECT_FALSE(toolkit::Contains("pc-salon", "Salon"));
    EXPECT_EQ(toolkit::SplitKeyValue("k=v=w"), (std::pair<std::string, std::string>{"k", "v=w"}));
}

TEST(SplitAtFirstSpace, BeforeAndCappedAfter) {
    const auto split = toolkit::SplitAtFirstSpace("pc1 192.168.1.2 extra");
    EXPECT_EQ(split.before, "pc1");
    EXPECT_EQ(split.after, "192.168.1.2 extra");
    EXPECT_TRUE(split.hasSpace);
    const auto none = toolkit::SplitAtFirstSpace("pc1");
    EXPECT_EQ(none.before, "pc1");
    EXPECT_EQ(none.after, "");
    EXPECT_FALSE(none.hasSpace);
    const auto longOne = toolkit::SplitAtFirstSpace("k " + std::string(300, 'v'));
    EXPECT_EQ(longOne.after, std::string(toolkit::kMaxFieldLength, 'v'));
    EXPECT_EQ(toolkit::SplitAtFirstSpace(" x").before, "");
}

TEST(SortedTextList, KeepsCaseInsensitiveOrderWithoutDuplicates) {
    toolkit::SortedTextList sorted;
    EXPECT_TRUE(sorted.Add("192.168.1.2=pc-salon"));
    EXPECT_TRUE(sorted.Add("192.168.1.10=PC-Bureau"));
    EXPECT_TRUE(sorted.Add("10.0.0.1=Box"));
    EXPECT_TRUE(sorted.Add("192.168.1.2=pc-salon2"));
    EXPECT_FALSE(sorted.Add("192.168.1.2=PC-SALON"));
    EXPECT_TRUE(sorted.Add("192.168.1.100=b"));
    EXPECT_EQ(sorted.Lines(), (TextList{"10.0.0.1=Box", "192.168.1.10=PC-Bureau", "192.168.1.100=b",
                                        "192.168.1.2=pc-salon", "192.168.1.2=pc-salon2"}));

    TempFolder folder;
    const std::string path = folder / "liste.ip.discover";
    WriteBytes(path, "b=2\r\nA=1\nB=2\rc=3");
    toolkit::SortedTextList loaded;
    loaded.Add("a=1");
    loaded.LoadFrom(path);
    EXPECT_EQ(loaded.Lines(), (TextList{"a=1", "b=2", "c=3"}));
    EXPECT_EQ(loaded.Size(), 3u);
    EXPECT_THROW(loaded.LoadFrom(folder / "absent"), toolkit::FileError);

    // Lines read between additions stay those of the moment.
    toolkit::SortedTextList growing;
    growing.Add("b");
    EXPECT_EQ(growing.Lines(), TextList{"b"});
    growing.Add("a");
    EXPECT_EQ(growing.Lines(), (TextList{"a", "b"}));
}

// The indexed lists answer exactly as the one look-up rule on the same lines,
// after every replacement and addition, duplicates and case included.
TEST(NamedLines, AnswerAsTheLookUpRuleThroughReplacementsAndAdditions) {
    TextList plain = {"pc1 192.168.1.5", "PC10 192.168.1.30", "pc1 192.168.1.6", "nue",
                      " 192.168.1.7", "tv  02-00-00-00-00-01 "};
    toolkit::NamedLines indexed = plain;
    struct Step {
        std::optional<std::size_t> replace;  // nullopt: append
        std::string line;
    };
    const std::vector<Step> steps = {
        {std::nullopt, ""},           {0, "pc2 192.168.1.5"},  {2, "PC1 192.168.1.30"},
        {std::nullopt, "pc1 x"},      {1, "pc10"},             {2, "pc1 192.168.1.30"},
        {std::nullopt, "PC2 10.0.0.1"}, {6, "tv 02-00-00-00-00-01"}, {0, "pc2 192.168.1.5"},
    };
    const std::vector<std::string> probes = {"pc1",  "PC1",         "pc10", "pc2",
                                             "nue",  "tv",          "",     "192.168.1.5",
                                             "x",    "192.168.1.30", "02-00-00-00-00-01",
                                             "10.0.0.1", " 192.168.1.7", "192.168.1.7"};
    for (std::size_t s = 0; s <= steps.size(); ++s) {
        for (const std::string& probe : probes) {
            EXPECT_EQ(indexed.IndexOfName(probe), toolkit::IndexOfName(plain, probe))
                << "step " << s << " name " << probe;
            EXPECT_EQ(indexed.IndexOfValue(probe), toolkit::IndexOfValue(plain, probe))
                << "step " << s << " value " << probe;
        }
        EXPECT_EQ(indexed.Lines(), plain);
        if (s == steps.size()) break;
        if (steps[s].replace) {
            plain[*steps[s].replace] = steps[s].line;
            indexed.Replace(*steps[s].replace, steps[s].line);
        } else {
            plain.push_back(steps[s].line);
            indexed.Append(steps[s].line);
        }
    }

    toolkit::KeyedLines keyed = TextList{"192.168.1.5=pc1", "sans", "192.168.1.5=autre"};
    keyed.Append("192.168.1.9=");
    keyed.Append("192.168.1.9=tard");
    keyed.Append("=vide");
    for (const char* key : {"192.168.1.5", "192.168.1.9", "sans", "", "absent"}) {
        EXPECT_EQ(keyed.HasKey(key), toolkit::IndexOfKey(keyed.Lines(), key).has_value()) << key;
        EXPECT_EQ(keyed.ValueOfKey(key), toolkit::ValueOfKey(keyed.Lines(), key)) << key;
    }
}

}  // namespace

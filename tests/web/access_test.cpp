// The access settings file, the password's derivation and the tokens.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "korvane/core/webaccess.h"
#include "korvane/core/webcrypto.h"
#include "platform/platform.h"
#include "web_support.h"

namespace {

using namespace korvane;

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// RFC 6070's inputs with SHA-512, as published for PBKDF2-HMAC-SHA512.
TEST(WebCrypto, Pbkdf2Sha512GivesTheKnownKeys) {
    struct Case {
        const char* password;
        const char* salt;
        unsigned long iterations;
        const char* key;
    } cases[] = {
        {"password", "salt", 1,
         "867f70cf1ade02cff3752599a3a53dc4af34c7a669815ae5d513554e1c8cf252c02d470a285a0501bad999bfe"
         "943c08f"
         "050235d7d68b1da55e63f73b60a57fce"},
        {"passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096,
         "8c0511f4c6e597c6ac6315d8f0362e225f3c501495ba23b868c005174dc4ee71115b59f9e60cd9532fa33e0f7"
         "5aefe"
         "30225c583a186cd82bd4daea9724a3d3b8"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HexText(Pbkdf2Sha512(c.password, c.salt, c.iterations, 64)), c.key) << c.password;
    }
    EXPECT_THROW(Pbkdf2Sha512("x", "salt", 0, 64), std::runtime_error);
    EXPECT_EQ(HexText(Sha256("abc")),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Base64Url(std::string("\xfb\xff\xbf", 3)), "-_-_");
    EXPECT_EQ(Base64Url("ab"), "YWI");
}

TEST(WebAccess, PasswordIsKeptSaltedAndComparedWhole) {
    const PasswordHash first = HashPassword(webtest::kPassword);
    const PasswordHash second = HashPassword(webtest::kPassword);
    EXPECT_EQ(first.iterations, kPasswordIterations);
    EXPECT_NE(first.salt, second.salt);
    EXPECT_NE(first.hash, second.hash);
    EXPECT_TRUE(PasswordMatches(first, webtest::kPassword));
    EXPECT_TRUE(PasswordMatches(second, webtest::kPassword));
    for (const char* wrong : {"", "correct cheval pile agraf", "correct cheval pile agrafe ",
                              "Correct cheval pile agrafe"}) {
        EXPECT_FALSE(PasswordMatches(first, wrong)) << wrong;
    }
    EXPECT_TRUE(PasswordProblem("court"));
    EXPECT_FALSE(PasswordProblem("assez long"));
    EXPECT_TRUE(ConstantTimeEqual("abc", "abc"));
    EXPECT_FALSE(ConstantTimeEqual("abc", "abd"));
    EXPECT_FALSE(ConstantTimeEqual("abc", "abcd"));
}

TEST(WebAccess, SettingsFileIsPrivateHoldsNoSecretAndReadsBack) {
    const webtest::TempFolder folder;
    const std::string& dir = folder.Path();
    WebAccessSettings settings = webtest::SampleSettings();
    settings.port = 9443;
    settings.tls = TlsChoice::OwnFiles;
    settings.certificateFile = "/etc/ssl/korvane.pem";
    settings.keyFile = "/etc/ssl/korvane.key";
    const NewToken hub =
        MakeToken("hub; cuisine", WebRole::WakeOnly, {"pc1", "salle-été"}, 1'800'000'000);
    const NewToken script = MakeToken("script", WebRole::Admin, {"ignoré"}, 1'800'000'001);
    settings.tokens = {hub.kept, script.kept};
    settings.tokens[1].lastUse = 1'800'000'100;
    SaveWebAccess(dir, settings);

    const std::string path = dir + kWebAccessFile;
#ifndef _WIN32
    struct stat status {};
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
#endif
    const std::string bytes = FileText(path);
    EXPECT_EQ(bytes.find(webtest::kPassword), std::string::npos);
    EXPECT_EQ(bytes.find(hub.secret), std::string::npos);
    EXPECT_EQ(bytes.find(hub.secret.substr(4)), std::string::npos);
    EXPECT_TRUE(script.kept.entries.empty());  // an administrator's token sees everything

    const WebAccessRead read = LoadWebAccess(dir);
    EXPECT_EQ(read.problem, "");
    EXPECT_EQ(read.settings, settings);
    EXPECT_EQ(FindToken(read.settings.tokens, hub.secret)->name, "hub; cuisine");
    EXPECT_EQ(FindToken(read.settings.tokens, script.secret)->role, WebRole::Admin);
    EXPECT_EQ(FindToken(read.settings.tokens, "krv_" + hub.secret.substr(5)), nullptr);
    EXPECT_EQ(FindToken(read.settings.tokens, hub.secret.substr(4)), nullptr);
    EXPECT_EQ(hub.secret.size(), 4u + 43u);
}

// A damaged file turns the access off and says why; what it could read stays.
TEST(WebAccess, DamagedOrIncompleteFileTurnsTheAccessOff) {
    const std::string good =
        "mot_de_passe=" + WebAccessLines(webtest::SampleSettings())[2].substr(13);
    struct Case {
        toolkit::TextList lines;
        bool enabled;
        bool problem;
    } cases[] = {
        {{"actif=oui", "port=8765", good}, true, false},
        {{"actif=oui", "port=8765"}, false, true},                   // no password
        {{"actif=oui", "port=99999", good}, false, true},            // port out of range
        {{"actif=oui", good, "jeton=zz;admin;;;;;x"}, false, true},  // a broken token
        {{"actif=oui", "mot_de_passe=pbkdf2-sha512;1000;00112233445566778899;00"}, false, true},
        {{"actif=peut-être", good}, false, true},
        {{"actif=oui", good, "hote=bureau lan"}, false, true},
        {{"actif=oui", good, "inconnu=1"}, false, true},
        {{"actif=non", good, "# un commentaire", ""}, false, false},
    };
    for (const Case& c : cases) {
        const WebAccessRead read = ParseWebAccess(c.lines);
        EXPECT_EQ(read.settings.enabled, c.enabled) << c.lines.back();
        EXPECT_EQ(!read.problem.empty(), c.problem) << c.lines.back() << " : " << read.problem;
    }
    EXPECT_EQ(ParseWebAccess({"port=8765", good, "port=x"}).settings.password,
              webtest::SampleSettings().password);
    EXPECT_THROW(MakeToken("", WebRole::Admin, {}, 0), std::invalid_argument);
    EXPECT_THROW(MakeToken("a\nb", WebRole::Admin, {}, 0), std::invalid_argument);
    EXPECT_THROW(MakeToken("hub", WebRole::WakeOnly, {"../liste.ip"}, 0), std::invalid_argument);
}

}  // namespace

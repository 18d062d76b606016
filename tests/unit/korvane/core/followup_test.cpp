// The follow-up verdicts on real ping outputs of both systems, the incident
// line, and the group file's members.
#include "korvane/core/followup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "test_folder.h"

namespace {

using korvane::FollowKind;
using toolkit::TextList;

const TextList kLinuxUp = {"PING 198.18.0.11 (198.18.0.11) 56(84) bytes of data.",
                           "64 bytes from 198.18.0.11: icmp_seq=1 ttl=64 time=0.050 ms",
                           "",
                           "--- 198.18.0.11 ping statistics ---",
                           "1 packets transmitted, 1 received, 0% packet loss, time 0ms",
                           "rtt min/avg/max/mdev = 0.050/0.050/0.050/0.000 ms",
                           "198.18.0.11=up"};
const TextList kLinuxDown = {"PING pc-sur (198.18.0.12) 56(84) bytes of data.",
                             "",
                             "--- pc-sur ping statistics ---",
                             "1 packets transmitted, 0 received, 100% packet loss, time 0ms",
                             "",
                             "pc-sur=down"};
const TextList kLinuxUnknown = {"ping: pcx: Temporary failure in name resolution", "pcx=down"};
const TextList kWindowsUp = {
    "",
    "Envoi d'une requête 'ping' sur pc1.lan [192.168.1.5] avec 32 octets de données :",
    "Réponse de 192.168.1.5 : octets=32 temps<1ms TTL=128",
    "",
    "Statistiques Ping pour 192.168.1.5:",
    "    Paquets : envoyés = 1, reçus = 1, perdus = 0 (perte 0%),",
    "Durée approximative des boucles en millisecondes :",
    "    Minimum = 0ms, Maximum = 0ms, Moyenne = 0ms",
    "pc1=up "};
const TextList kWindowsDown = {
    "",
    "Envoi d'une requête 'ping' sur pc1 [192.168.1.5] avec 32 octets de données :",
    "Délai d'attente de la demande dépassé.",
    "",
    "Statistiques Ping pour 192.168.1.5:",
    "    Paquets : envoyés = 1, reçus = 0, perdus = 1 (perte 100%),",
    "pc1=down "};
const TextList kWindowsUnknown = {
    "La requête Ping n'a pas pu trouver l'hôte pcx. Vérifiez le nom et essayez à nouveau.",
    "pcx=down "};

struct Expected {
    std::string host;
    std::string reason;
};

TEST(FollowUpVerdict, TheVerdictLineDecidesAndTheHeaderNamesTheHost) {
    struct Case {
        const char* what;
        FollowKind kind;
        TextList output;
        std::optional<Expected> incident;
    };
    const std::string unknown = korvane::kUnknownReason;
    for (const Case& c : std::vector<Case>{
             {"linux up after shutdown", FollowKind::Shutdown, kLinuxUp,
              Expected{"198.18.0.11", unknown}},
             {"linux down after shutdown", FollowKind::Shutdown, kLinuxDown, std::nullopt},
             {"windows up after shutdown", FollowKind::Shutdown, kWindowsUp,
              Expected{"pc1.lan", unknown}},
             {"windows down after shutdown", FollowKind::Shutdown, kWindowsDown, std::nullopt},
             {"unknown name after shutdown", FollowKind::Shutdown, kLinuxUnknown, std::nullopt},
             {"linux down after wake-up", FollowKind::WakeUp, kLinuxDown,
              Expected{"pc-sur", unknown}},
             {"windows down after wake-up", FollowKind::WakeUp, kWindowsDown,
              Expected{"pc1", unknown}},
             {"linux unknown name after wake-up", FollowKind::WakeUp, kLinuxUnknown,
              Expected{"pcx", "ping: pcx: Temporary failure in name resolution"}},
             {"windows unknown name after wake-up", FollowKind::WakeUp, kWindowsUnknown,
              Expected{"pcx", kWindowsUnknown[0]}},
             {"linux up after wake-up", FollowKind::WakeUp, kLinuxUp, std::nullopt},
             {"windows up after wake-up", FollowKind::WakeUp, kWindowsUp, std::nullopt},
             {"empty output", FollowKind::WakeUp, {}, std::nullopt},
             {"no verdict line",
              FollowKind::WakeUp,
              {kLinuxDown.begin(), kLinuxDown.end() - 1},
              std::nullopt},
             {"verdict alone", FollowKind::WakeUp, {"pc2=down", ""}, Expected{"pc2", unknown}},
             {"sur without bracket",
              FollowKind::Shutdown,
              {"sur pc9", "pc2=up"},
              Expected{"pc2", unknown}},
         }) {
        const auto incident = korvane::CheckIncident(c.kind, c.output);
        ASSERT_EQ(incident.has_value(), c.incident.has_value()) << c.what;
        if (!incident) continue;
        EXPECT_EQ(incident->host, c.incident->host) << c.what;
        EXPECT_EQ(incident->reason, c.incident->reason) << c.what;
        EXPECT_EQ(incident->verdict, c.kind == FollowKind::Shutdown ? "ne s'est pas arrêté"
                                                                    : "ne s'est pas mis en marche");
    }
}

TEST(FollowUpVerdict, IncidentLineIsFiveQuotedFieldsAndATrailingSemicolon) {
    EXPECT_EQ(korvane::IncidentLine("07/12/2026", "18:43:51",
                                    {"pc1", korvane::kNotStopped, korvane::kUnknownReason}),
              "\"07/12/2026\";\"18:43:51\";\"pc1\";\"ne s'est pas arrêté\";\"raison inconnue\";");
    EXPECT_EQ(korvane::IncidentLine("d", "t", {"", "v", "r"}), "\"d\";\"t\";\"\";\"v\";\"r\";");
    EXPECT_EQ(korvane::ProgressLine(FollowKind::Shutdown, 12), "followDownReport 12");
    EXPECT_EQ(korvane::ProgressLine(FollowKind::WakeUp, 0), "followupReport 0");
    EXPECT_FALSE(korvane::ShortDate().empty());
    EXPECT_FALSE(korvane::LongTime().empty());
}

TEST(FollowUpGroup, MembersAreTheNonBlankLinesAndUnsafeNamesAreNoPaths) {
    EXPECT_EQ(korvane::GroupMembers({"pc1", "", "  pc2 ", "\t"}), (TextList{"pc1", "pc2"}));
    testing_support::TempFolder folder;
    const auto old = std::filesystem::current_path();
    std::filesystem::current_path(folder.Path());
    toolkit::SaveLines("bureau", {"pc1", "pc2"});
    EXPECT_EQ(korvane::LoadGroupFile("bureau"), (TextList{"pc1", "pc2"}));
    EXPECT_THROW(korvane::LoadGroupFile("absent"), toolkit::FileError);
    EXPECT_THROW(korvane::LoadGroupFile("../" + folder.Path().substr(folder.Path().rfind('/') + 1) +
                                        "/bureau"),
                 toolkit::FileError);
    std::filesystem::current_path(old);
}

}  // namespace

// The window says what is wrong with a recording in German: every damage the
// folder reader names, and every refusal of the recorder.
#include "app/recording_texts.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>

#include "recording/format.h"
#include "recording/reader.h"
#include "recording/recorder.h"

namespace zindra::app {
namespace {

namespace fs = std::filesystem;

// Words of the English sentences that must not reach the window.
bool soundsEnglish(const QString& text) {
    static const QRegularExpression words(
        QStringLiteral("\\b(is|are|missing|Cannot|cannot|damaged|segments?|replayed|without|times|"
                       "larger|written|recording|folder|files?|line|more|neither|nor|read|write|"
                       "past|end|half|No|such|denied|directory|entry|rest|index)\\b"));
    QString stripped = text;
    // File names and paths may hold any word.
    stripped.remove(
        QRegularExpression(QStringLiteral("\\S*[/\\\\]\\S*|\\S+\\.(TRC|idx|tix|txt|csv|reserve)\\b")));
    return words.match(stripped).hasMatch();
}

TEST(RecordingTexts, EveryDamageAndRefusalIsSaidInGerman) {
    QTemporaryDir tmp;
    const std::int64_t t0 = 1796767200LL * 1000000;
    std::string folder;
    for (const auto format : {recording::RecordingFormat::Compact, recording::RecordingFormat::Text}) {
        const bool compact = format == recording::RecordingFormat::Compact;
        const fs::path parent = fs::path(tmp.path().toStdString()) / (compact ? "rec-compact" : "rec");
        {
            recording::RecorderOptions options{parent.string(), "COM1", "test"};
            options.segmentLimit = 100;
            options.format = format;
            recording::Recorder rec(options, t0);
            folder = rec.folder();
            const std::string bytes = "UGM\r\n" + std::string(300, 'A');
            for (std::size_t at = 0; at < bytes.size(); at += 40)
                rec.onChunk(reinterpret_cast<const std::uint8_t*>(bytes.data() + at), 40,
                            t0 + static_cast<std::int64_t>(at));
            rec.finish("Stopp", t0 + 1000000);
        }
        const auto append = [&](const std::string& name, const std::string& text) {
            std::ofstream(fs::path(folder) / name, std::ios::app | std::ios::binary) << text;
        };
        // Damage of many kinds at once: a manifest line, an index line, an index
        // and a segment gone, a stray segment, a cut segment after a clean end.
        append("manifest.txt", "\x01garbage\n");
        if (compact) {
            append("0002.tix", std::string(10, '\xFF'));
            std::ofstream(fs::path(folder) / "0001.tix", std::ios::binary) << "XYZ!";
        } else {
            append("0002.idx", "x;y\n");
        }
        fs::remove(fs::path(folder) / recording::indexName(3, format));
        fs::remove(fs::path(folder) / "0004.TRC");
        std::ofstream(fs::path(folder) / "9999.TRC") << "UGM\r\n";
        fs::resize_file(fs::path(folder) / "0002.TRC", 10);
        recording::Recording r = recording::readRecording(folder);
        ASSERT_GE(r.problems.size(), 4u);
        for (const std::string& p : r.problems) {
            const QString german = germanRecordingText(p);
            EXPECT_FALSE(soundsEnglish(german)) << p << "\n -> " << german.toStdString();
        }

        fs::remove(fs::path(folder) / "manifest.txt");
        for (const std::string& p : recording::readRecording(folder).problems)
            EXPECT_FALSE(soundsEnglish(germanRecordingText(p))) << p;
    }

    // The recorder's refusals.
    const auto refusal = [&](const std::string& where) {
        try {
            recording::Recorder rec(recording::RecorderOptions{where, "COM1", "test"}, t0);
        } catch (const recording::RecordingError& e) {
            return std::string(e.what());
        }
        return std::string();
    };
    std::ofstream(fs::path(tmp.path().toStdString()) / "file") << "x";
    for (const std::string& where :
         {std::string(), folder, (fs::path(tmp.path().toStdString()) / "file" / "sub").string()}) {
        const std::string english = refusal(where);
        ASSERT_FALSE(english.empty()) << where;
        EXPECT_FALSE(soundsEnglish(germanRecordingText(english))) << english;
    }
    for (const std::string& where : {(fs::path(tmp.path().toStdString()) / "none").string(),
                                     (fs::path(tmp.path().toStdString()) / "file").string()}) {
        try {
            recording::readRecording(where);
            ADD_FAILURE() << where;
        } catch (const recording::RecordingError& e) {
            EXPECT_FALSE(soundsEnglish(germanRecordingText(e.what()))) << e.what();
        }
    }
}

}  // namespace
}  // namespace zindra::app

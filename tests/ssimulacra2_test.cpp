// SSIMULACRA2 against the reference tool's scores of photographs and
// software pictures with their JPEGs (tests/data/ssimulacra2/scores.txt),
// and its answers for equal pictures and refused sizes.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "image.h"
#include "ssimulacra2.h"
#include "test_images.h"

namespace {

std::string DataFolder() {
    std::string folder = __FILE__;
    folder.resize(folder.find_last_of("/\\") + 1);
    return folder + "data" + kSeparator + "ssimulacra2" + kSeparator;
}

struct ReferenceScore {
    std::string original, distorted;
    double score;
};

// The table's lines "original distorted score"; '#' starts a comment.
std::vector<ReferenceScore> ReadScores() {
    const std::vector<uint8_t> bytes = ReadBytes(DataFolder() + "scores.txt");
    std::istringstream text(std::string(bytes.begin(), bytes.end()));
    std::vector<ReferenceScore> scores;
    for (std::string line; std::getline(text, line);) {
        if (line.empty() || line[0] == '#') continue;
        ReferenceScore pair;
        if (std::istringstream(line) >> pair.original >> pair.distorted >> pair.score)
            scores.push_back(pair);
        else
            ADD_FAILURE() << "not a line of the table: " << line;
    }
    return scores;
}

ImageHandle Load(const std::string& name) {
    const std::string path = CodecPath(DataFolder() + name);
    return name.size() > 4 && name.compare(name.size() - 4, 4, ".bmp") == 0 ? BMPtoDIB(path.c_str())
                                                                             : JPGtoDIB(path.c_str());
}

ImageHandle HandleOf(const Pixels& pixels) { return reinterpret_cast<ImageHandle>(ImageOf(pixels)); }

// The reference values are the tool's scores of the codec's own decodes, so
// only the metric can differ; with the processor's fused multiply-adds and
// without, the same score. Held far closer than the 0.5 promised: the
// reference's scores carry the rounding of its float arithmetic, and a
// rounding done differently, which moves these small pictures by a tenth,
// moves large photographs by points.
TEST(Ssimulacra2, AgreesWithTheReferenceTool) {
    const std::vector<ReferenceScore> table = ReadScores();
    ASSERT_EQ(10u, table.size());
    for (const ReferenceScore& pair : table) {
        SCOPED_TRACE(pair.distorted);
        ImageHandle original = Load(pair.original), distorted = Load(pair.distorted);
        ASSERT_TRUE(original && distorted);
        double score = 0, withoutFma = 0;
        EXPECT_TRUE(Ssimulacra2(original, distorted, &score));
        EXPECT_TRUE(Ssimulacra2(original, distorted, &withoutFma, false));
        EXPECT_NEAR(pair.score, score, 0.001);
        EXPECT_NEAR(score, withoutFma, 1e-6);
        DeleteDIB(original);
        DeleteDIB(distorted);
    }
}

// Pictures scored at once on several threads, as the conversion pool does,
// score as they do alone.
TEST(Ssimulacra2, TheSameOnEveryThread) {
    const std::vector<ReferenceScore> table = ReadScores();
    ASSERT_FALSE(table.empty());
    std::vector<ImageHandle> originals, distorted;
    std::vector<double> alone(table.size()), together(table.size());
    for (size_t i = 0; i < table.size(); ++i) {
        originals.push_back(Load(table[i].original));
        distorted.push_back(Load(table[i].distorted));
        EXPECT_TRUE(Ssimulacra2(originals[i], distorted[i], &alone[i]));
    }
    std::vector<std::thread> threads;
    for (size_t i = 0; i < table.size(); ++i)
        threads.emplace_back([&, i] { Ssimulacra2(originals[i], distorted[i], &together[i]); });
    for (std::thread& t : threads) t.join();
    for (size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(alone[i], together[i]) << table[i].distorted;
        DeleteDIB(originals[i]);
        DeleteDIB(distorted[i]);
    }
}

// Equal pictures score 100, a grey picture against its colour twin too;
// small pictures agree with the reference tool down to 8 x 8 (two scales,
// the second 4 x 4), and sizes it refuses are refused, at the boundary.
TEST(Ssimulacra2, EqualPicturesAndSizes) {
    const Pixels grey = MakePicture(40, 30, 1);
    Pixels colour = grey;
    colour.channels = 3;
    colour.data.clear();
    for (uint8_t v : grey.data) colour.data.insert(colour.data.end(), {v, v, v});
    Pixels nudged = colour;
    nudged.At(20, 15)[1] ^= 8;
    const struct {
        const char* what;
        Pixels a, b;
        bool scored;
        double reference;  // the reference tool's score of the same pixels
    } cases[] = {
        {"equal", MakePicture(40, 30, 3), MakePicture(40, 30, 3), true, 100},
        {"grey against its colour twin", grey, colour, true, 100},
        {"one sample changed", colour, nudged, true, 95.84710391},
        {"8 x 8, the smallest", MakePicture(8, 8, 3), MakePicture(8, 8, 3, 1), true, 81.59891605},
        {"7 wide", MakePicture(7, 8, 3), MakePicture(7, 8, 3), false, 0},
        {"7 high", MakePicture(8, 7, 3), MakePicture(8, 7, 3), false, 0},
        {"widths differ", MakePicture(40, 30, 3), MakePicture(41, 30, 3), false, 0},
        {"heights differ", MakePicture(40, 30, 3), MakePicture(40, 31, 3), false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ImageHandle a = HandleOf(c.a), b = HandleOf(c.b);
        double score = -1;
        EXPECT_EQ(c.scored, Ssimulacra2(a, b, &score));
        if (c.reference == 100) {
            EXPECT_EQ(100, score);
        } else if (c.scored) {
            EXPECT_NEAR(c.reference, score, 0.001);
        }
        DeleteDIB(a);
        DeleteDIB(b);
    }
    double score;
    EXPECT_FALSE(Ssimulacra2(0, 0, &score));
}

}  // namespace

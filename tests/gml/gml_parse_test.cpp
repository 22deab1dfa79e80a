// gml_parse_test.cpp -- the token reader and the tag table on small and real-world shaped files
#include "gml_test_util.h"

#include "gml/gml_local.h"

#include <cstring>

namespace {

std::string point(float x, float y, float t)
{
    char text[160];
    snprintf(text, sizeof text, "<pt><x>%g</x><y>%g</y><time>%g</time></pt>\n", x, y, t);
    return text;
}

TEST(GmlParse, OneStrokeOfTwoPoints)
{
    GmlGraph* g = gml_parse_text("<gml spec=\"1.0\">\n<tag><drawing><stroke>\n" + point(0.25f, 0.5f, 0) +
                                 point(0.75f, 0.125f, 1.5f) + "</stroke></drawing></tag></gml>\n");
    EXPECT_STREQ(g->spec, "1.0");
    ASSERT_EQ(g->stroke_count, 1);
    ASSERT_EQ(g->strokes[0].point_count, 2);
    EXPECT_EQ(g->strokes[0].points[1][0], 0.75f);
    EXPECT_EQ(g->strokes[0].points[1][1], 0.125f);
    EXPECT_EQ(g->strokes[0].times[1], 1.5f);
    EXPECT_EQ(gml_value_state, GML_VALUE_NONE);
    EXPECT_EQ(gml_target, nullptr);
}

TEST(GmlParse, CaseOfTagsAndMixedClosers)
{
    GmlGraph* g = gml_parse_text("<STROKE><PT><X>0.5</X><Y>0.25</Y><T>2</time></PT>"
                                 "<pt><x>0.1</x><y>0.2</y><time>3</t></pt></stroke>");
    ASSERT_EQ(g->stroke_count, 1);
    ASSERT_EQ(g->strokes[0].point_count, 2);
    EXPECT_EQ(g->strokes[0].points[0][0], 0.5f);
    EXPECT_EQ(g->strokes[0].times[0], 2.0f);
    EXPECT_EQ(g->strokes[0].times[1], 3.0f);
}

TEST(GmlParse, BlankBeforeGreaterThanSplitsTheTag)
{
    // "<pt" and ">" are two tokens, so neither opens a point: the values land in point 0 uncounted.
    GmlGraph* g = gml_parse_text("<stroke><pt ><x>0.5</x></pt></stroke>");
    EXPECT_EQ(g->stroke_count, 1);
    EXPECT_EQ(g->strokes[0].point_count, 0);
    EXPECT_EQ(g->strokes[0].points[0][0], 0.5f);
}

TEST(GmlParse, CarriageReturns)
{
    // The carriage return behind a number is where atof stops; standing apart inside a value it is a value 0.
    GmlGraph* g = gml_parse_text("<stroke>\r\n<pt>\r\n<x>0.5\r\n</x>\r\n<y>0.25</y>\r\n</pt>\r\n"
                                 "<pt>\r\n<x>0.75 \r\n</x>\r\n</pt>\r\n</stroke>\r\n");
    ASSERT_EQ(g->stroke_count, 1);
    ASSERT_EQ(g->strokes[0].point_count, 2);
    EXPECT_EQ(g->strokes[0].points[0][0], 0.5f);
    EXPECT_EQ(g->strokes[0].points[0][1], 0.25f);
    EXPECT_EQ(g->strokes[0].points[1][0], 0.0f);
}

TEST(GmlParse, StrokeCutByTheEndOfTheFileIsNotCounted)
{
    GmlGraph* g = gml_parse_text("<stroke>" + point(0.1f, 0.1f, 0) + "</stroke><stroke>" + point(0.2f, 0.2f, 1) +
                                 "<pt><x>0.3");
    EXPECT_EQ(g->stroke_count, 1);
    EXPECT_EQ(g->strokes[1].point_count, 1);
    EXPECT_EQ(gml_value_state, GML_VALUE_X);  // the file ended inside <x>
}

TEST(GmlParse, HeaderValuesBeforeTheFirstStrokeAreOverwritten)
{
    GmlGraph* g = gml_parse_text("<gml spec='0.1b'><tag><header><environment>"
                                 "<screenBounds><x>1024</x><y>768</y><z>7</z></screenBounds>"
                                 "<up><x>0</x><y>-1</y><z>0.5</z></up></environment></header>"
                                 "<drawing><stroke>" + point(0.5f, 0.5f, 0) + "</stroke></drawing></tag></gml>");
    EXPECT_STREQ(g->spec, "0.1b");  // single quotes read like double ones
    ASSERT_EQ(g->stroke_count, 1);
    EXPECT_EQ(g->strokes[0].point_count, 1);
    EXPECT_EQ(g->strokes[0].points[0][0], 0.5f);
    EXPECT_EQ(g->strokes[0].points[0][2], 0.5f);  // z was never given by the point: the header's stays
}

TEST(GmlParse, DeclarationCommentsAndPlainGmlTag)
{
    GmlGraph* g = gml_parse_text("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- a <stroke> here -->\n"
                                 "<gml>\n<stroke>" + point(0.1f, 0.2f, 0) + "</stroke>\n</gml>\n");
    EXPECT_STREQ(g->spec, "");
    EXPECT_EQ(g->stroke_count, 1);
    EXPECT_EQ(g->strokes[0].point_count, 1);
}

TEST(GmlParse, LimitsOfTheRecordAreKept)
{
    std::string text;
    for (int s = 0; s < 70; s++)
        text += "<stroke>" + point(s / 100.0f, 0, 0) + "</stroke>";
    GmlGraph* g = gml_parse_text(text);
    EXPECT_EQ(g->stroke_count, GML_STROKES);
    EXPECT_EQ(g->strokes[63].points[0][0], 0.63f);

    text = "<stroke>";
    for (int p = 0; p < 600; p++)
        text += point(p / 1000.0f, 0, p);
    g = gml_parse_text(text + "</stroke>");
    EXPECT_EQ(g->stroke_count, 1);
    EXPECT_EQ(g->strokes[0].point_count, GML_POINTS);
    EXPECT_EQ(g->strokes[0].times[511], 511.0f);
}

TEST(GmlParse, LongTokensAreCut)
{
    std::string long_token(64, 'a');
    std::string path = gml_temp_file(long_token + " next");
    FILE* f = fopen(path.c_str(), "rb");
    char token[GML_TEXT];
    gml_read_token(f, token);
    EXPECT_EQ(strlen(token), 63u);
    gml_read_token(f, token);
    EXPECT_STREQ(token, "next");
    fclose(f);
    remove(path.c_str());

    GmlGraph* g = gml_parse_text("<gml spec=\"" + std::string(80, 's') + "\"></gml>");
    EXPECT_EQ(strlen(g->spec), 31u);
}

TEST(GmlParse, TokensSplitAtLessThanAndAfterGreaterThan)
{
    std::string path = gml_temp_file("  <PT>0.5</pt>\t\nabc<x>");
    FILE* f = fopen(path.c_str(), "rb");
    const char* expected[] = {"<pt>", "0.5", "</pt>", "abc", "<x>", ""};
    char token[GML_TEXT];
    for (const char* e : expected) {
        gml_read_token(f, token);
        EXPECT_STREQ(token, e);
    }
    fclose(f);
    remove(path.c_str());
}

TEST(GmlParse, DeepNestingDoesNotExhaustTheStack)
{
    std::string text;
    for (int i = 0; i < 150; i++)
        text += "<tag> ";
    GmlGraph* g = gml_parse_text(text + "<stroke>" + point(0.5f, 0.5f, 0) + "</stroke>");
    EXPECT_EQ(g->stroke_count, 1);
    for (int i = 0; i < 100000; i++)
        text += "<tag> ";
    g = gml_parse_text(text + "<stroke>" + point(0.5f, 0.5f, 0) + "</stroke>");
    EXPECT_EQ(g->stroke_count, 0);  // far too deep to be a drawing: read flat, nothing counted
}

TEST(GmlParse, GarbageNeverEscapesTheRecord)
{
    uint32_t state = 12345;
    const char* pieces[] = {"<stroke>", "</stroke>", "<pt>", "</pt>", "<x>", "</x>", "<t>", "</time>", "<gml",
                            " spec=", "'", "\"", "<!--", "-->", "1e30", "nan", "\r", "\n", " ", "<", ">", "="};
    for (int round = 0; round < 20; round++) {
        std::string text;
        for (int i = 0; i < 3000; i++) {
            state = state * 1103515245u + 12345u;
            text += pieces[(state >> 16) % (sizeof pieces / sizeof pieces[0])];
        }
        GmlGraph* g = gml_parse_text(text);
        EXPECT_LE(g->stroke_count, GML_STROKES);
        for (int s = 0; s < GML_STROKES; s++)
            EXPECT_LE(g->strokes[s].point_count, GML_POINTS);
    }
}

// 1.5 MB with every point on one line: the tags abut, so every value ends on a pushed-back '<'
// across many buffer refills. (The time this takes is what the parse benchmark is for.)
TEST(GmlParse, OneLongLineOfPointsReadsEveryPoint)
{
    std::string text = "<gml spec='1.0'><tag><drawing>";
    int expected = 0;
    while (text.size() < 1500000) {
        text += "<stroke>";
        for (int i = 0; i < GML_POINTS; i++, expected++)
            text += "<pt><x>0." + std::to_string(i % 1000) + "</x><y>" + std::to_string(i) + "</y><t>" +
                    std::to_string(expected) + "</t></pt>";
        text += "</stroke>";
    }
    text += "</drawing></tag></gml>";
    GmlGraph* g = gml_parse_text(text);
    EXPECT_STREQ(g->spec, "1.0");
    int strokes = expected / GML_POINTS;
    ASSERT_EQ(g->stroke_count, strokes < GML_STROKES ? strokes : GML_STROKES);
    const GmlStroke& last = g->strokes[g->stroke_count - 1];
    ASSERT_EQ(last.point_count, GML_POINTS);
    EXPECT_EQ(last.points[511][0], 0.511f);
    EXPECT_EQ(last.points[511][1], 511.0f);
    EXPECT_EQ(last.times[511], (float)(g->stroke_count * GML_POINTS - 1));
}

// A directory opened as a stream reads with an error, never an end of file: the parse must stop.
TEST(GmlParse, ReadErrorEndsTheParse)
{
    static GmlGraph graph;
    FILE* f = fopen("/", "rb");
    if (!f)
        GTEST_SKIP() << "this C library does not open directories as streams";
    alarm(30);
    memset(&graph, 0, sizeof graph);
    gml_target = &graph;
    gml_parse(f);
    gml_target = nullptr;
    alarm(0);
    EXPECT_TRUE(ferror(f));
    EXPECT_EQ(graph.stroke_count, 0);
    fclose(f);
}

TEST(GmlLoad, MissingFileAndMissingGraphReportAndReturn)
{
    static GmlGraph graph;
    graph.stroke_count = 3;
    testing::internal::CaptureStdout();
    gml_load("/nonexistent/drawing.gml", &graph);
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed, "ERROR!!! /nonexistent/drawing.gml NOT FOUND!!\n");
    EXPECT_EQ(graph.stroke_count, 3);  // untouched

    std::string path = gml_temp_file("<stroke></stroke>");
    testing::internal::CaptureStdout();
    gml_load(path.c_str(), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "NO GRAPH TO LOAD INTO!\n");
    remove(path.c_str());
}

// The sample drawing is written the way recording tools write GML; an XML reading of it finds
// 12 strokes, and every point has x, y and time.
TEST(GmlParse, SampleDrawing)
{
    static GmlGraph graph;
    gml_load(KERV_SOURCE_DIR "/content/tag.gml", &graph);
    EXPECT_STREQ(graph.spec, "1.0");
    ASSERT_EQ(graph.stroke_count, 12);
    int points = 0;
    for (int s = 0; s < graph.stroke_count; s++) {
        points += graph.strokes[s].point_count;
        for (int p = 1; p < graph.strokes[s].point_count; p++)
            EXPECT_GE(graph.strokes[s].times[p], graph.strokes[s].times[p - 1]);
    }
    EXPECT_GT(points, 200);
}

}  // namespace

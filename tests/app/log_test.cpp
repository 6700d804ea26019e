// The log the conversion run writes to.
#include <gtest/gtest.h>

#include <sstream>

#include "app/log.h"

TEST(Log, StreamLogWritesOneLinePerAppend) {
    std::ostringstream out;
    TStreamLog log(out);
    TLog& l = log;
    l.Append("/d/plan.dxf geladen...");
    l.Append("2 Layouts gefunden...");
    l.Append("");
    EXPECT_EQ(out.str(), "/d/plan.dxf geladen...\n2 Layouts gefunden...\n\n");
}

TEST(Log, MemoryLogKeepsLinesInOrder) {
    TMemoryLog log;
    log.Append("a");
    log.Append("b");
    EXPECT_EQ(log.Lines, (std::vector<std::string>{"a", "b"}));
}

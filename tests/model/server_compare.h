// Compares two destination lists field by field.
#pragma once

#include "model/upload_server.h"

#include <gtest/gtest.h>

namespace pxh::test {

inline void ExpectSameServers(const IUploadServerList& AGot, const IUploadServerList& AWant) {
    ASSERT_EQ(AGot.GetCount(), AWant.GetCount());
    for (int I = 0; I < AWant.GetCount(); ++I) {
        SCOPED_TRACE(I);
        const auto Want = AWant.GetItem(I);
        const auto Got = AGot.GetItem(I);
        EXPECT_EQ(Got->GetKind(), Want->GetKind());
        EXPECT_EQ(Got->GetName(), Want->GetName());
        EXPECT_EQ(Got->GetURL(), Want->GetURL());
        EXPECT_EQ(Got->GetBaseURL(), Want->GetBaseURL());
        EXPECT_EQ(Got->GetPath(), Want->GetPath());
        EXPECT_EQ(Got->GetUserName(), Want->GetUserName());
        EXPECT_EQ(Got->GetPassword(), Want->GetPassword());
        EXPECT_EQ(Got->GetPassive(), Want->GetPassive());
        EXPECT_EQ(Got->GetChecked(), Want->GetChecked());
    }
}

} // namespace pxh::test

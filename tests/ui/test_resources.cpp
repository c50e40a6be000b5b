#include "resources/Resources.h"

#include <QFile>
#include <gtest/gtest.h>

TEST(Resources, AreRegisteredByLinkingAlone) {
    for (const char *path :
         {":/qiroapp/styles/dark.css", ":/qiroapp/styles/grey.css", ":/qiroapp/styles/slate.css",
          ":/qiroapp/media/qirologo.png", ":/qiroapp/media/qirologo_for_on_black.png",
          resources::kSlateCheckMark, resources::kSplashImage})
        EXPECT_TRUE(QFile::exists(QString::fromLatin1(path))) << path;
}

TEST(Resources, SplashImageIsDecodedOnceAndShared) {
    const QImage splash = resources::splashImage();
    ASSERT_FALSE(splash.isNull());
    EXPECT_EQ(splash.size(), QSize(960, 540));
    EXPECT_EQ(resources::splashImage().cacheKey(), splash.cacheKey());
}

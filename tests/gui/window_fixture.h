#pragma once

// The real scene, window and view under the test's X server, opened as the
// program opens them and drawn once: the set-up every in-process GUI test
// shares.
#include <FL/Fl.H>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "app/AppWindow.h"
#include "app/Scene.h"
#include "figure/Figure.h"
#include "view/GLView.h"

// Last: Xlib defines macros such as None and Bool.
#include <X11/Xlib.h>

class WindowFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!displayAvailable()) GTEST_SKIP() << "no X display";
    Fl::visual(FL_DOUBLE);
    scene = std::make_unique<Scene>();
    app = std::make_unique<AppWindow>(scene.get());
    view = app->view;
    figure = scene->figure.get();
    app->show();
    waitForFirstFrame();
    ASSERT_GT(view->framesDrawn(), 0) << "the view never drew";
  }

  void TearDown() override {
    // The view goes first: it unhooks its handles from the scene's figure.
    app.reset();
    Fl::wait(0);
    scene.reset();
  }

  void waitForFirstFrame() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (view->framesDrawn() == 0 && std::chrono::steady_clock::now() < deadline) Fl::wait(0.01);
  }

  static bool displayAvailable() {
    Display* d = XOpenDisplay(nullptr);
    if (!d) return false;
    XCloseDisplay(d);
    return true;
  }

  std::unique_ptr<Scene> scene;
  std::unique_ptr<AppWindow> app;
  GLView* view = nullptr;
  Figure* figure = nullptr;
};

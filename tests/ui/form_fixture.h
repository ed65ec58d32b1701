#pragma once
// Runs the test dialog (template 1000 of this program) with the four units bound as the updater
// binds them, and lets a test queue steps that run, in order, behind the messages it has posted.

#include "ui/button_unit.h"
#include "ui/form_unit.h"
#include "ui/label_unit.h"
#include "ui/progress_bar_unit.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

inline constexpr int test_form_template = 1000;
inline constexpr int progress_bar_id = 1002;
inline constexpr int button_id = 1003;
inline constexpr int label_id = 1004;

class FormFixture : public ::testing::Test {
  public:
    FormUnit form;
    ButtonUnit button;
    LabelUnit label;
    ProgressBarUnit bar;

    int clicks = 0;
    int destroys = 0;

    void SetUp() override;
    void TearDown() override;

    // Loads the form modally; `script` runs inside on_created after the controls are bound.
    INT_PTR run(std::function<void(HWND)> script);
    // Runs `step` once every message posted before this call has been handled.
    void later(std::function<void()> step);
    // Runs `step` once the dialog manager has shown the form.
    void when_shown(std::function<void()> step);
    // Posts WM_CLOSE behind everything queued so far.
    void close_later();

    static FormFixture* current;
    static void created(HWND window);

  private:
    static LRESULT CALLBACK sequencer_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    static void CALLBACK watchdog(HWND window, UINT, UINT_PTR, DWORD);
    static void CALLBACK poll_shown(HWND window, UINT, UINT_PTR, DWORD);

    std::function<void(HWND)> script_;
    std::vector<std::function<void()>> steps_;
    std::function<void()> shown_step_;
    HWND sequencer_ = nullptr;
};

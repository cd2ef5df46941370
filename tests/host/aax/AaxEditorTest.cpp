#include <gtest/gtest.h>

#include <map>
#include <string>

#include "host/aax/AaxPluginEditor.h"
#include "tests/host/aax/AaxTestHost.h"

namespace {

struct TestContainer : AAX_IViewContainer {
    int window = 0;
    uint32_t modifiers = 0;
    bool handles = false;
    std::vector<std::pair<std::string, uint32_t>> mouseDowns;

    void* GetPtr() override { return &window; }
    AAX_Result GetModifiers(uint32_t* m) const override {
        *m = modifiers;
        return AAX_SUCCESS;
    }
    AAX_Result HandleParameterMouseDown(AAX_CParamID id, uint32_t m) override {
        mouseDowns.emplace_back(std::string(id), m);
        return handles ? AAX_SUCCESS : AAX_ERROR_UNIMPLEMENTED;
    }
};

struct FakeEditor : AaxPluginEditor::Editor {
    static inline VornPlugin* plugin = nullptr;
    static inline void* window = nullptr;
    static inline int open = 0;

    FakeEditor() { ++open; }
    ~FakeEditor() override { --open; }
    int width() const override { return 554; }
    int height() const override { return 780; }

    static std::unique_ptr<AaxPluginEditor::Editor> make(VornPlugin& p, void* w,
                                                         AaxPluginEditor& /*view*/) {
        plugin = &p;
        window = w;
        return std::make_unique<FakeEditor>();
    }
};

}  // namespace

TEST(AaxEditor, ViewHostsTheEditorOfItsInstance) {
    const RecordedEffect& effect = stereoEffect();
    AaxTestInstance host(effect);
    std::unique_ptr<AaxPluginEditor> view(dynamic_cast<AaxPluginEditor*>(effect.guiProc()));
    ASSERT_NE(view, nullptr);
    ASSERT_EQ(view->Initialize(&host.adapter()), AAX_SUCCESS);
    TestContainer container;

    int32_t width = 0, height = 0;
    AaxPluginEditor::setEditorFactory(nullptr);
    view->SetViewContainer(&container);
    EXPECT_EQ(view->GetViewSize(&width, &height), -20009);
    view->SetViewContainer(nullptr);

    AaxPluginEditor::setEditorFactory(&FakeEditor::make);
    view->SetViewContainer(&container);
    EXPECT_EQ(FakeEditor::open, 1);
    EXPECT_EQ(FakeEditor::plugin, &host.plugin());
    EXPECT_EQ(FakeEditor::window, &container.window);
    EXPECT_EQ(view->GetViewSize(&width, &height), AAX_SUCCESS);
    EXPECT_EQ(width, 554);
    EXPECT_EQ(height, 780);

    // Gestures go to the host by decimal identifier; the host answers the value request.
    auto& requests = host.controller().requests;
    requests.clear();
    AbstractPluginParameter* p = host.plugin().getParameter(5);
    view->touchParameter(5);
    view->setParameterValue(5, 0.625);
    view->releaseParameter(5);
    std::string kinds;
    for (const auto& r : requests) kinds += r.kind + r.identifier;
    EXPECT_EQ(kinds, "t5v5r5");
    EXPECT_NEAR(p->plainToNormalized(p->getValue()), 0.625, 1e-6);

    // Mouse-downs are offered to the host with its modifier bits.
    container.handles = true;
    EXPECT_TRUE(view->offerMouseDown(7, AaxPluginEditor::kCtrl | AaxPluginEditor::kShift));
    container.handles = false;
    EXPECT_FALSE(view->offerMouseDown(8, 0));
    EXPECT_EQ(container.mouseDowns,
              (std::vector<std::pair<std::string, uint32_t>>{{"7", 9}, {"8", 0}}));

    container.modifiers = 4 | 2 | 1;
    EXPECT_EQ(view->currentModifiers(), AaxPluginEditor::kAlt | AaxPluginEditor::kHostModifier);

    view->SetViewContainer(nullptr);
    EXPECT_EQ(FakeEditor::open, 0);
    EXPECT_EQ(view->GetViewSize(&width, &height), -20009);
    AaxPluginEditor::setEditorFactory(nullptr);
}

TEST(AaxEditor, ModifierTranslations) {
    // Editor modifiers and the host's.
    const std::pair<int, uint32_t> toHost[] = {{0, 0},    {4, 8}, {2, 4},  {6, 12},
                                               {1, 1},    {5, 9}, {3, 5},  {128, 2},
                                               {135, 15}, {8, 0}, {256, 0}};
    for (const auto& [editor, host] : toHost)
        EXPECT_EQ(AaxPluginEditor::hostModifiers(editor), host) << editor;
    const std::pair<uint32_t, int> toEditor[] = {{0, 0},   {4, 2}, {2, 128},
                                                 {6, 130}, {1, 0}, {8, 0}};
    for (const auto& [host, editor] : toEditor)
        EXPECT_EQ(AaxPluginEditor::editorModifiers(host), editor) << host;
    // The shortcuts the module hands the host make Shift the fine adjustment.
    describeModule(VersionRecord(2, 2, 3));
    std::map<int, int> table;
    for (const auto& t : AaxPluginEditor::modifierTranslations()) table[t.modifiers] = t.functions;
    EXPECT_EQ(table, (std::map<int, int>{{1, 2}, {2, 4}, {4, 1}, {6, 5}}));
}

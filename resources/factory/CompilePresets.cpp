// Build tool: compiles the text presets under a source folder into their binary records.
// Usage: vorn_compile_presets SOURCE_FOLDER OUTPUT_FOLDER
//
// SOURCE_FOLDER/FactoryPresets/**/NAME.txt becomes OUTPUT_FOLDER/FactoryPresets/**/NAME.qvp, a
// whole-synth record; SOURCE_FOLDER/ApplicationData/Component Presets/TYPE/**/NAME.txt becomes
// a component record NAME + the type's extension. A text preset holds "Parameter Name=text"
// lines, parsed by each parameter as a user's typed text; parameters not named keep their
// defaults. Every line that cannot be applied is reported as FILE:LINE and fails the build.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "engine/VornPlugin.h"
#include "engine/VornPresets.h"
#include "framework/AbstractPluginParameter.h"
#include "persistence/ComponentPresetTypes.h"
#include "persistence/FactoryArchive.h"
#include "persistence/ParameterCollection.h"
#include "persistence/ParameterRecord.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kTextExtension = ".txt";

std::string trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

class Compiler {
    struct Assignment {
        AbstractPluginParameter* parameter;
        int line;
    };

public:
    Compiler() {
        for (int id = 0; id < plugin_.getParameterCount(); ++id) {
            AbstractPluginParameter* p = plugin_.getParameter(id);
            byName_.emplace(p->name(), p);
        }
    }

    // Compiles every text preset below source into output, which is emptied first.
    bool compileTree(const fs::path& source, const fs::path& output) {
        std::vector<fs::path> texts;
        std::error_code error;
        for (auto it = fs::recursive_directory_iterator(source, error);
             !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
            if (it->is_regular_file() && it->path().extension() == kTextExtension) {
                texts.push_back(it->path());
            }
        }
        if (error) return fail(source.string() + ": " + error.message());
        std::sort(texts.begin(), texts.end());
        fs::remove_all(output, error);
        bool ok = true;
        for (const fs::path& text : texts) ok = compileFile(text, source, output) && ok;
        return ok;
    }

private:
    bool compileFile(const fs::path& text, const fs::path& source, const fs::path& output) {
        const fs::path relative = text.lexically_relative(source);
        const std::vector<std::string> parts(relative.begin(), relative.end());
        const std::string name = text.stem().string();
        if (parts.size() >= 2 && parts[0] == FactoryArchive::kFactoryPresetsFolder) {
            const fs::path target =
                output / fs::path(relative).replace_filename(name + VornPresets::kPresetExtension);
            return compileWhole(text, target);
        }
        if (parts.size() >= 4 && parts[0] == FactoryArchive::kApplicationDataFolder &&
            parts[1] == ComponentPresets::kFolder) {
            for (int type = 0; type < ComponentPresets::kTypeCount; ++type) {
                const ComponentPresetType& kind = ComponentPresets::kTypes[type];
                if (parts[2] != kind.folder) continue;
                const fs::path target =
                    output / fs::path(relative).replace_filename(name + kind.extension);
                return compileComponent(text, type, target);
            }
            return fail(text.string() + ": \"" + parts[2] + "\" is not a component type folder");
        }
        return fail(text.string() + ": a text preset belongs under " +
                    FactoryArchive::kFactoryPresetsFolder + "/ or " +
                    FactoryArchive::kApplicationDataFolder + "/" + ComponentPresets::kFolder +
                    "/TYPE/");
    }

    bool compileWhole(const fs::path& text, const fs::path& target) {
        std::vector<Assignment> assigned;
        if (!apply(text, assigned)) return false;
        if (!makeFolderOf(target) ||
            !ParameterRecord::writeCollection(ParameterCollection::of(plugin_), target.string(),
                                              VornPlugin::kStateVersion)) {
            return fail(target.string() + ": cannot be written");
        }
        return true;
    }

    bool compileComponent(const fs::path& text, int type, const fs::path& target) {
        std::vector<Assignment> assigned;
        if (!apply(text, assigned)) return false;
        // The lines name the parameters of one instance, normally the first.
        const VornPresets& presets = plugin_.presets();
        const int instance =
            assigned.empty() ? 0 : presets.componentInstanceOf(type, assigned[0].parameter->id());
        for (const Assignment& a : assigned) {
            if (instance < 0 || presets.componentInstanceOf(type, a.parameter->id()) != instance) {
                return fail(text.string() + ":" + std::to_string(a.line) + ": \"" +
                            a.parameter->name() + "\" is not part of the " +
                            ComponentPresets::kTypes[type].folder + " component that \"" +
                            assigned[0].parameter->name() + "\" belongs to");
            }
        }
        if (!makeFolderOf(target) ||
            !writeComponentPreset(plugin_, type, instance, target.string())) {
            return fail(target.string() + ": cannot be written");
        }
        return true;
    }

    // Resets every parameter, then applies the file's lines in order.
    bool apply(const fs::path& text, std::vector<Assignment>& assigned) {
        for (int id = 0; id < plugin_.getParameterCount(); ++id) {
            AbstractPluginParameter* p = plugin_.getParameter(id);
            p->setValue(p->getDefault(), 0);
        }
        // Nothing renders here: let the changes queued for the audio side go.
        plugin_.applyParameterChanges();
        std::ifstream in(text, std::ios::binary);
        if (!in) return fail(text.string() + ": cannot be read");
        bool ok = true;
        std::string line;
        for (int number = 1; std::getline(in, line); ++number) {
            const std::string where = text.string() + ":" + std::to_string(number) + ": ";
            const std::string content = trim(line);
            if (content.empty() || content[0] == '#') continue;
            const size_t equals = content.find('=');
            if (equals == std::string::npos) {
                ok = fail(where + "expected \"Parameter Name=text\"");
                continue;
            }
            const std::string name = trim(content.substr(0, equals));
            const std::string value = trim(content.substr(equals + 1));
            const auto found = byName_.find(name);
            if (found == byName_.end()) {
                ok = fail(where + "no parameter is named \"" + name + "\"");
                continue;
            }
            AbstractPluginParameter* p = found->second;
            const auto earlier =
                std::find_if(assigned.begin(), assigned.end(),
                             [p](const Assignment& a) { return a.parameter == p; });
            if (earlier != assigned.end()) {
                ok = fail(where + "\"" + name + "\" is already set on line " +
                          std::to_string(earlier->line));
                continue;
            }
            float plain = 0.0f;
            if (!p->parseText(value, &plain)) {
                ok = fail(where + "\"" + name + "\" does not accept \"" + value + "\"");
                continue;
            }
            p->setValue(plain, 0);
            assigned.push_back({p, number});
        }
        return ok;
    }

    static bool makeFolderOf(const fs::path& target) {
        std::error_code error;
        fs::create_directories(target.parent_path(), error);
        return !error;
    }

    static bool fail(const std::string& message) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return false;
    }

    VornPlugin plugin_;
    std::map<std::string, AbstractPluginParameter*> byName_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: vorn_compile_presets SOURCE_FOLDER OUTPUT_FOLDER\n");
        return 1;
    }
    // Every preset starts from the built-in defaults, not from an installed "Default Sound".
    VornPresets::setStartupPresets(false);
    Compiler compiler;
    return compiler.compileTree(argv[1], argv[2]) ? 0 : 1;
}

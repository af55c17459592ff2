// Runs one dialog of the GTK user interface the way the plug-in does, so that the
// X tests can drive it from outside without a host or a model.
//
//   gtk_dialog_driver message TYPE CAPTION TEXT   TYPE as in 0x30; prints "dismissed"
//   gtk_dialog_driver save [MAX_PATH_LENGTH]       prints "path: <path>" or "cancelled"
//   gtk_dialog_driver result SIBLINGS              a tree with SIBLINGS hardpoint nodes;
//                                                  prints "initialised", then "closed"
//
// After the dialog it waits for the end of its input before it exits, so that a test can
// see that the dialog has left the screen while the process still runs. Exit status 0 on
// success, 2 when GTK cannot start, 64 on a usage error.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "plugin/plugin.h"
#include "ui/gtk/gtk_user_interface.h"

namespace cmp {
namespace {

NodeTree HardpointTree(unsigned long siblings) {
    NodeTree tree;
    const NodeHandle root = tree.InsertNode({}, "\\");
    const NodeHandle cmpnd = tree.InsertNode(root, "Cmpnd");
    tree.InsertNode(tree.InsertNode(cmpnd, "Root"), "File name");
    const NodeHandle fixed = tree.InsertNode(tree.InsertNode(root, "Hardpoints"), "Fixed");
    for (unsigned long i = 0; i < siblings; ++i) {
        tree.InsertNode(tree.InsertNode(fixed, "HpMount" + std::to_string(i)), "Position");
    }
    return tree;
}

int Usage() {
    std::fputs("usage: gtk_dialog_driver message TYPE CAPTION TEXT | save [MAX] | result N\n",
               stderr);
    return 64;
}

}  // namespace
}  // namespace cmp

int main(int argc, char** argv) {
    using namespace cmp;
    if (argc < 2) {
        return Usage();
    }
    const std::string command = argv[1];
    std::unique_ptr<UserInterface> ui = CreateGtkUserInterface();
    if (!ui) {
        std::fputs("GTK cannot start\n", stderr);
        return 2;
    }
    if (command == "message" && argc == 5) {
        ui->ShowMessage(argv[4], argv[3],
                        static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 0)));
        std::puts("dismissed");
    } else if (command == "save" && argc <= 3) {
        SaveDialogOptions options = ExportSaveDialogOptions();
        if (argc == 3) {
            options.maxPathLength = std::strtoul(argv[2], nullptr, 10);
        }
        const std::optional<std::string> path = ui->AskSavePath(options);
        std::printf(path ? "path: %s\n" : "cancelled\n", path ? path->c_str() : "");
    } else if (command == "result" && argc == 3) {
        const NodeTree tree = HardpointTree(std::strtoul(argv[2], nullptr, 10));
        ui->RunResultDialog("Quorvane CMP Exporter", [&tree] {
            std::puts("initialised");
            std::fflush(stdout);
            return &tree;
        });
        std::puts("closed");
    } else {
        return Usage();
    }
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}

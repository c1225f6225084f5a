// Writes the seed corpora of fuzz_md3 and fuzz_model_text: the parts, skins, shader and
// animation file of the test character, and a few edge files. Rebuild the seeds with:
//   c++ -std=c++17 -I. -Itests fuzz/make_model_seeds.cpp tests/support/md3_writer.cpp -o /tmp/make_model_seeds
//   /tmp/make_model_seeds fuzz/seeds
// The gen_* seeds are copies of the character generator's output (build/game/fidget, jack,
// weapons): the heads, the weapon and the text files; the bodies are larger than a fuzz input.
#include <filesystem>
#include <string>

#include "support/md3_writer.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc != 2) return 1;
  const fs::path seeds = argv[1];
  const fs::path scratch = fs::temp_directory_path() / "korvalis_model_seeds";
  fs::remove_all(scratch);
  WriteTestCharacter(scratch.string(), "fidget");
  WriteTestWeapon(scratch.string(), "grenadel");
  fs::create_directories(seeds / "md3");
  fs::create_directories(seeds / "model_text");
  for (const auto& entry : fs::recursive_directory_iterator(scratch)) {
    const std::string ext = entry.path().extension().string();
    const std::string name = entry.path().filename().string();
    if (ext == ".md3") fs::copy_file(entry.path(), seeds / "md3" / name, fs::copy_options::overwrite_existing);
    if (ext == ".skin" || ext == ".shader" || ext == ".cfg")
      fs::copy_file(entry.path(), seeds / "model_text" / name, fs::copy_options::overwrite_existing);
  }
  fs::remove_all(scratch);

  TestMd3 tagsOnly;
  tagsOnly.frames = 3;
  AddTag(&tagsOnly, "tag_torso", Vec3(0, 0, 1), Vec3(0, 0, 1));
  WriteFile((seeds / "md3" / "tags_only.md3").string(), WriteMd3(tagsOnly));
  TestMd3 shaders;
  AddBox(&shaders, "w_barrel", Vec3(0, -1, -1), Vec3(8, 1, 1));
  AddBox(&shaders, "w_grip", Vec3(0, -1, -4), Vec3(2, 1, 0));
  shaders.surfaces[1].shaderCount = 3;
  WriteFile((seeds / "md3" / "two_surfaces_shaders.md3").string(), WriteMd3(shaders));
  // Under 1 MB, 4,000 surfaces all pointing at one block of vertices: billions of decoded
  // bytes that the reader must refuse by its budget before allocating.
  WriteFile((seeds / "md3" / "shared_vertex_block.md3").string(), WriteSharedBlockMd3(4000, 20, 2600));
  WriteFile((seeds / "model_text" / "skin_edges.skin").string(),
            std::string("h_head\r\n/u_torso.tga\nl_legs,a/b/\nl,x/y/z.jpg\r\n,\n"));
  WriteFile((seeds / "model_text" / "odd_clips.cfg").string(),
            std::string("  0 0 0 0 - BOTH_X\n5 -3 0 20 - LEGS_TORSO_Y trailing 1 2 3\n7 2 0 20 -\n"));
  return 0;
}

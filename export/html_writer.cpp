#include "export/html_writer.h"

#include <cmath>
#include <cstdint>

#include "export/gltf_writer.h"
#include "export/mesh.h"
#include "export/svg_writer.h"

namespace kavrit {

namespace {

std::string base64(const std::string& bytes) {
    static const char table[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const std::uint32_t v = (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16) |
                                (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8) |
                                static_cast<unsigned char>(bytes[i + 2]);
        for (int k = 3; k >= 0; --k) out += table[(v >> (6 * k)) & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        std::uint32_t v = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
        if (rest == 2) v |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        out += table[(v >> 18) & 63];
        out += table[(v >> 12) & 63];
        out += rest == 2 ? table[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

// A JSON string that may stand inside a <script> element: the text as
// xml_text leaves it (markup characters as entities, broken UTF-8 and control
// bytes as '?'), so no "</script>" can end the element early.
std::string json_string(const std::string& text) {
    std::string out = "\"";
    for (char ch : xml_text(text)) {
        if (ch == '"' || ch == '\\') out += '\\';
        out += ch == '\t' ? ' ' : ch;
    }
    return out + "\"";
}

// A turn to a thousandth of a degree; one too large for that is the same
// turn within a full circle.
double slider_degrees(double degrees) {
    const double thousandths = std::round(degrees * 1000);
    return std::isfinite(thousandths) ? thousandths / 1000 : std::fmod(degrees, 360.0);
}

const char* const PAGE_STYLE = R"css(
html, body { margin: 0; height: 100%; overflow: hidden; background: #f3f3ef; font: 13px/1.35 "DejaVu Sans", "Liberation Sans", Arial, sans-serif; color: #202020; }
#panel { position: absolute; top: 10px; left: 10px; width: 250px; max-height: calc(100% - 40px); overflow: auto; background: rgba(255,255,255,0.9); border: 1px solid #c8c8c8; border-radius: 6px; padding: 8px 10px; }
#panel h1 { font-size: 14px; margin: 0 0 6px; overflow-wrap: anywhere; }
#panel label { display: block; margin-top: 6px; }
#panel input[type=range] { width: 100%; }
#panel .help { color: #606060; font-size: 11px; margin: 8px 0 0; }
#tip { position: absolute; pointer-events: none; background: #202020; color: #ffffff; padding: 3px 6px; border-radius: 4px; font-size: 12px; display: none; white-space: nowrap; }
#error { position: absolute; bottom: 10px; left: 10px; color: #b00020; }
)css";

const char* const PAGE_SCRIPT = R"js(
(function () {
  "use strict";
  const data = JSON.parse(document.getElementById("kavrit-data").textContent);
  const status = { ready: false, turns: {} };
  window.kavrit = status;

  const raw = atob(data.glb);
  const bytes = new Uint8Array(raw.length);
  for (let i = 0; i < raw.length; ++i) bytes[i] = raw.charCodeAt(i);

  const renderer = new THREE.WebGLRenderer({ antialias: true, preserveDrawingBuffer: true });
  renderer.setPixelRatio(window.devicePixelRatio || 1);
  renderer.setSize(window.innerWidth, window.innerHeight);
  document.body.appendChild(renderer.domElement);
  const scene = new THREE.Scene();
  scene.background = new THREE.Color(0xf3f3ef);
  scene.add(new THREE.HemisphereLight(0xffffff, 0x707080, 0.75));
  const sun = new THREE.DirectionalLight(0xffffff, 0.65);
  sun.position.set(-0.4, 1.0, 0.7);
  scene.add(sun);
  const camera = new THREE.PerspectiveCamera(35, window.innerWidth / window.innerHeight, 0.01, 1e8);
  const controls = new THREE.OrbitControls(camera, renderer.domElement);
  controls.screenSpacePanning = true;
  const render = () => renderer.render(scene, camera);
  controls.addEventListener("change", render);
  window.addEventListener("resize", () => {
    camera.aspect = window.innerWidth / window.innerHeight;
    camera.updateProjectionMatrix();
    renderer.setSize(window.innerWidth, window.innerHeight);
    render();
  });

  function fail(e) {
    const box = document.getElementById("error");
    box.textContent = "The model could not be shown: " + e;
    throw e;
  }

  new THREE.GLTFLoader().parse(bytes.buffer, "", function (gltf) {
    const model = gltf.scene;
    scene.add(model);
    const nodes = {};
    model.traverse((o) => {
      if (o.userData && o.userData.structure !== undefined && !nodes[o.userData.structure]) nodes[o.userData.structure] = o;
      if (o.isMesh && o.material && o.material.name === "reflector") {
        o.material.emissive = new THREE.Color(0x8a5a00);
        const edges = new THREE.LineSegments(new THREE.EdgesGeometry(o.geometry),
                                             new THREE.LineBasicMaterial({ color: 0xd1232a }));
        o.add(edges);
      }
    });

    // Frame the layout: look from the front left, above, as the SVG does.
    const bounds = new THREE.Box3().setFromObject(model);
    const centre = bounds.getCenter(new THREE.Vector3());
    const size = bounds.getSize(new THREE.Vector3()).length() || 1;
    camera.position.copy(centre).add(new THREE.Vector3(-0.55, 0.75, 0.95).normalize().multiplyScalar(size * 1.45));
    camera.near = size / 1000;
    camera.far = size * 100;
    camera.updateProjectionMatrix();
    controls.target.copy(centre);
    controls.update();

    // Sliders.
    const list = document.getElementById("sliders");
    const inputs = {};
    function turn(number, degrees) {
      const node = nodes[number];
      const hinge = data.hinges.find((h) => h.number === number);
      if (!node || !hinge) return;
      const axis = hinge.axis === "x" ? new THREE.Vector3(1, 0, 0) : new THREE.Vector3(0, 1, 0);
      node.quaternion.setFromAxisAngle(axis, degrees * Math.PI / 180);
      status.turns[number] = degrees;
      if (inputs[number]) {
        inputs[number].value = degrees;
        inputs[number].nextSibling.textContent = " " + degrees + "\u00b0";
      }
    }
    function slider(id, text, value, onInput) {
      const label = document.createElement("label");
      label.textContent = text;
      const input = document.createElement("input");
      input.type = "range"; input.min = -180; input.max = 180; input.step = 1; input.value = value; input.id = id;
      const shown = document.createElement("span");
      shown.textContent = " " + value + "\u00b0";
      input.addEventListener("input", () => { shown.textContent = " " + input.value + "\u00b0"; onInput(Number(input.value)); render(); });
      label.appendChild(document.createElement("br"));
      label.appendChild(input);
      label.appendChild(shown);
      list.appendChild(label);
      return input;
    }
    const first = data.hinges.filter((h) => h.first_level);
    if (first.length > 0)
      slider("raise-all", "all structures hinged to their anchors",
             first.every((h) => h.degrees === first[0].degrees) ? first[0].degrees : 0,
             (deg) => first.forEach((h) => turn(h.number, deg)));
    for (const h of data.hinges)
      inputs[h.number] = slider("structure-" + h.number,
                                "structure " + h.number + " (about " + h.axis + (h.parent ? ", on " + h.parent : "") + ")",
                                h.degrees, (deg) => turn(h.number, deg));
    for (const h of data.hinges) turn(h.number, h.degrees);
    if (data.hinges.length === 0) list.textContent = "No structure of this layout turns.";

    // Structure under the mouse.
    const tip = document.getElementById("tip");
    const ray = new THREE.Raycaster();
    renderer.domElement.addEventListener("mousemove", (e) => {
      const r = renderer.domElement.getBoundingClientRect();
      ray.setFromCamera(new THREE.Vector2((e.clientX - r.left) / r.width * 2 - 1, -(e.clientY - r.top) / r.height * 2 + 1), camera);
      const hit = ray.intersectObject(model, true).find((h) => h.object.isMesh);
      if (!hit) { tip.style.display = "none"; return; }
      let o = hit.object;
      while (o && (!o.userData || o.userData.structure === undefined)) o = o.parent;
      if (!o) { tip.style.display = "none"; return; }
      tip.textContent = "structure " + o.userData.structure + ", " + o.userData.kind +
                        (hit.object.material.name === "reflector" ? " (reflector)" : "");
      tip.style.left = (e.clientX + 14) + "px";
      tip.style.top = (e.clientY + 10) + "px";
      tip.style.display = "block";
    });

    // For scripts that drive the page: the picture point of a layout point.
    status.project = function (x, y, z) {
      model.updateMatrixWorld(true);
      const p = new THREE.Vector3(x, y, z).applyMatrix4(model.children[0].matrixWorld).project(camera);
      return { x: (p.x + 1) / 2 * window.innerWidth, y: (1 - p.y) / 2 * window.innerHeight };
    };
    status.turn = function (number, degrees) { turn(number, degrees); render(); };
    render();
    status.ready = true;
  }, fail);
})();
)js";

}  // namespace

std::string make_html(const Layout& layout, const Pose& pose) {
    const auto& all = layout.structures;
    std::string hinges;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (!pose.tree[i].turns) continue;
        const Structure& s = all[i];
        if (!hinges.empty()) hinges += ",\n";
        hinges += "{\"number\":" + std::to_string(s.number()) + ",\"axis\":\"" +
                  std::string(1, s.rotation ? s.rotation->axis : 'y') + "\",\"degrees\":" +
                  format_number(slider_degrees(pose.degrees[i])) +
                  ",\"first_level\":" + (pose.tree[i].hangs_from_anchor ? "true" : "false") +
                  ",\"parent\":" + (pose.tree[i].parent ? std::to_string(all[*pose.tree[i].parent].number()) : "null") +
                  "}";
    }
    // The model is flat; the page turns the nodes to the pose by the sliders.
    const std::string glb = make_glb(layout, unturned(pose));

    std::string o;
    o += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
    o += "<title>kavrit layout " + xml_text(layout.cif_name) + "</title>\n";
    o += "<style>" + std::string(PAGE_STYLE) + "</style>\n</head>\n<body>\n";
    o += "<div id=\"panel\"><h1>kavrit layout " + xml_text(layout.cif_name) + "</h1>";
    o += "<div>" + std::to_string(all.size()) + " structures, " +
         std::to_string(layout.box_count() + layout.reflector_count()) + " boxes</div>";
    o += "<div id=\"sliders\"></div>";
    o += "<p class=\"help\">Drag to orbit, right-drag to pan, wheel to zoom; point at a box for its "
         "structure. Reflectors are lit gold with red edges.</p></div>\n";
    o += "<div id=\"tip\"></div><div id=\"error\"></div>\n";
    o += "<script id=\"kavrit-data\" type=\"application/json\">{\"name\":" + json_string(layout.cif_name) +
         ",\n\"hinges\":[" + hinges + "],\n\"glb\":\"" + base64(glb) + "\"}</script>\n";
    o += "<script>\n";
    o += EMBEDDED_THREE_JS;
    o += "\n</script>\n<script>" + std::string(PAGE_SCRIPT) + "</script>\n</body>\n</html>\n";
    return o;
}

}  // namespace kavrit

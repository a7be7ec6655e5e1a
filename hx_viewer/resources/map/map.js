// The viewer's map: the route of the loaded recording and the car on it.
// The viewer calls these functions and learns that the page is ready from the
// console message "DOMContentLoaded", written once the map exists.

var polylines = [];
var carMarker = null;
var map = null;
var geocoder = null;
var tileLayer = null;

var texts = {
    ja: { offline: "オフライン：地図画像を取得できません", zoomIn: "拡大", zoomOut: "縮小" },
    en: { offline: "Offline: no map tiles", zoomIn: "Zoom in", zoomOut: "Zoom out" }
};
var language = "ja";
var zoomControl = null;

var carIcon = L.icon({ iconUrl: CAR_ICON_URL, iconSize: [30, 30], iconAnchor: [15, 29] });

// Only objects and element ids: no text handed in is ever run as script.
function gob(e) {
    if (typeof e === "object")
        return e;
    return document.getElementById(e);
}

function initmap() {
    map = L.map(gob("map_canvas"), {
        center: [35.6585209, 139.7453273],
        zoom: 16,
        maxZoom: 19,
        zoomControl: false,
        scrollWheelZoom: true
    });
    setZoomControl();
    L.control.scale({ imperial: false }).addTo(map);
}

function setZoomControl() {
    if (zoomControl)
        map.removeControl(zoomControl);
    zoomControl = L.control.zoom({ zoomInTitle: texts[language].zoomIn, zoomOutTitle: texts[language].zoomOut });
    zoomControl.addTo(map);
}

function escapeHtml(text) {
    return String(text).replace(/[&<>"']/g, function (c) {
        return { "&": "&amp;", "<": "&lt;", ">": "&gt;", "\"": "&quot;", "'": "&#39;" }[c];
    });
}

function showOfflineNote(shown) {
    var note = gob("offline_note");
    note.textContent = texts[language].offline;
    note.className = shown ? "shown" : "";
}

// An empty url shows no map pictures at all and asks no server for any.
function setTiles(url, attribution) {
    if (tileLayer) {
        map.removeLayer(tileLayer);
        tileLayer = null;
    }
    showOfflineNote(false);
    if (!url)
        return;
    tileLayer = L.tileLayer(url, { maxZoom: 19, attribution: escapeHtml(attribution) });
    // The note stays while tiles fail and goes with the first one that loads.
    tileLayer.on("tileerror", function () { showOfflineNote(true); });
    tileLayer.on("tileload", function () { showOfflineNote(false); });
    tileLayer.addTo(map);
}

function setLanguage(lang) {
    if (!texts[lang])
        return;
    language = lang;
    gob("offline_note").textContent = texts[language].offline;
    setZoomControl();
}

function moveToMap(Latitude, Longitude) {
    var point = L.latLng(Latitude, Longitude);
    if (carMarker)
        carMarker.setLatLng(point);
    else
        carMarker = L.marker(point, { icon: carIcon, zIndexOffset: 999, interactive: false, keyboard: false }).addTo(map);
    // A jump of a few pixels a second: an animated pan would redraw the map
    // for a quarter of a second after every move.
    map.panTo(point, { animate: false });
}

function clearCarMarker() {
    if (carMarker) {
        map.removeLayer(carMarker);
        carMarker = null;
    }
}

function clearPath() {
    for (var i = 0; i < polylines.length; ++i)
        map.removeLayer(polylines[i]);
    polylines = [];
    clearCarMarker();
}

// Segments of one point are not drawn. The view is fitted to the drawn
// route, never closer than zoom 16; with nothing drawn it pans to the first
// point of the first segment.
function drawPaths(pathArray) {
    clearPath();
    var first = null;
    var bounds = L.latLngBounds([]);
    for (var i = 0; i < pathArray.length; ++i) {
        var segment = pathArray[i];
        if (i === 0 && segment.length > 0)
            first = segment[0];
        if (segment.length < 2)
            continue;
        var line = L.polyline(segment, { color: "#FF0000", opacity: 0.7, weight: 4 }).addTo(map);
        polylines.push(line);
        bounds.extend(line.getBounds());
    }
    if (bounds.isValid())
        map.fitBounds(bounds, { maxZoom: 16, padding: [24, 24], animate: false });
    else if (first)
        map.panTo(first);
    requestAnimationFrame(function () { console.log("routeDrawn"); });
}

document.addEventListener("DOMContentLoaded", function () {
    initmap();
    console.log("DOMContentLoaded");
});

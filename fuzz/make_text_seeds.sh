#!/usr/bin/env bash
# Writes small hand-made seed corpora for the targets whose inputs are text, and a few
# tiny pictures (one of them a header claiming 23000 x 23000 pixels):
#   make_text_seeds.sh DIR   -> DIR/replies, DIR/requestbody, DIR/userdata, DIR/pictures
set -euo pipefail
out=${1:?usage: make_text_seeds.sh DIR}
mkdir -p "$out/replies" "$out/requestbody" "$out/userdata" "$out/pictures"

n=0
reply() { printf '%s' "$1" > "$out/replies/seed$((n++)).json"; }
reply '{"errcode":0,"message":"好","tag":"102","tags":[{"name":"风格","type":"style","children":[{"tagid":"3","tagname":"手写"},{"tagid":4}]}]}'
reply '{"errcode":0,"tag":"100","count":2,"lists":[{"fontid":"7","fontname":"思源宋体","font_en_name":"S","codeid":"3","is_like":"1","image":"https://x/7.png","tagid":"1,4","language":"2","provider":"9","ttf_name":"a.ttf","download_url":"https://x/7.zip"},{"fontid":"9","fontname":"Bare"}]}'
reply '{"errcode":0,"tag":"107","lists":[{"fontid":"2","fontname":"B","is_like":"1"}]}'
reply '{"errcode":0,"tag":"114","uid":"12","token":"tk1","nick_name":"小明","telephone":"138","head":"h","sex":"1","introduce":"i","birthday":"2000-01-01"}'
reply '{"errcode":"0","tag":117,"uid":30,"token":"tk2"}'
reply '{"errcode":3,"tag":"119","message":"two\nlines"}'
reply '{"errcode":0,"tag":"121","version":"1.0.0","update_download":"https://u/p.zip"}'
reply '{"errcode":0,"tag":"127","lists":[{"fontid":"3","image":"a"},{"fontid":"0","image":"b"}]}'
reply '[0]'

n=0
body() { printf '%s' "$1" > "$out/requestbody/seed$((n++)).txt"; }
body $'102\nmac=00:11\napp_version=1.0\napp_platform=linux'
body $'114\nname=a&b\npassword=p=q\nversion=1\nplatform=linux\nmac=m'
body $'119\nhead=iVBOR%2B/=\ntoken=t\nnick_name=小明\nsex=1'
body $'103\ntoken=t\ndownload_ids=1,2,3\nactivation=[{"fid":1}]'
body 'tag=102&secret=0123456789abcdef&mac=m&app_version=1&app_platform=linux'
body 'head=a%26b&tag=119&token=t&nick_name=n&secret=00'

n=0
# The user data file holds its JSON in Base64.
user() { printf '%s' "$1" | base64 -w0 > "$out/userdata/seed$n.txt"; n=$((n + 1)); }
user '{"m_preVersion":"1.0.0","autostart":true,"bGuideDone":true,"user":"138","bSavePass":true,"bAutoLogin":true,"pass":"pw","downlist":[{"fontname":"A","fontfile":"a.ttf"}],"activation":[{"fid":3,"num":2}],"download_ids":"1,5,9"}'
user '{"user":"u","bSavePass":false}'
user '{"activation":[{"fid":"3","num":2}],"download_ids":"x"}'
user ''

n=0
picture() { printf '%s' "$1" | base64 -d > "$out/pictures/seed$n.img"; n=$((n + 1)); }
picture 'iVBORw0KGgoAAAANSUhEUgAAAAMAAAACCAIAAAASFvFNAAAAEElEQVR4nGP4z8AAQQxwFgBB0gX7h/C5SAAAAABJRU5ErkJggg=='
picture 'iVBORw0KGgoAAAANSUhEUgAAWdgAAFnYCAYAAAA8nmIoAAAAEUlEQVR4nGNgGAWjYBQMdwAAA+gAAbOm00YAAAAASUVORK5CYII='
picture 'Qk1GAAAAAAAAADYAAAAoAAAABAAAAP////8BABgAAAAAABAAAAATCwAAEwsAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=='
picture 'R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7'

<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>MainWindow</name>
    <message>
        <source>示波器控制台</source>
        <translation>Oscilloscope Console</translation>
    </message>
    <message>
        <source>&gt;</source>
        <translation>&gt;</translation>
    </message>
    <message>
        <source>时域图</source>
        <translation>Time Domain</translation>
    </message>
    <message>
        <source>通道 0</source>
        <translation>Channel 0</translation>
    </message>
    <message>
        <source>光标：开</source>
        <translation>Cursors: on</translation>
    </message>
    <message>
        <source>光标：关</source>
        <translation>Cursors: off</translation>
    </message>
    <message>
        <source>M</source>
        <translation>M</translation>
    </message>
    <message>
        <source>Θ</source>
        <translation>Θ</translation>
    </message>
    <message>
        <source>测量</source>
        <translation>Measurements</translation>
    </message>
    <message>
        <source>添加/删除</source>
        <translation>Add/Remove</translation>
    </message>
    <message>
        <source>···</source>
        <translation>···</translation>
    </message>
    <message>
        <source>Ο</source>
        <translation>Ο</translation>
    </message>
    <message>
        <source>频谱图</source>
        <translation>Spectrum</translation>
    </message>
    <message>
        <source>FFT 1</source>
        <translation>FFT 1</translation>
    </message>
    <message>
        <source>标记：开</source>
        <translation>Markers: on</translation>
    </message>
    <message>
        <source>标记：关</source>
        <translation>Markers: off</translation>
    </message>
    <message>
        <source>X</source>
        <translation>X</translation>
    </message>
    <message>
        <source>Y</source>
        <translation>Y</translation>
    </message>
    <message>
        <source>频响图</source>
        <translation>Frequency Response</translation>
    </message>
    <message>
        <source>通道 1</source>
        <translation>Channel 1</translation>
    </message>
    <message>
        <source>通道 2</source>
        <translation>Channel 2</translation>
    </message>
    <message>
        <source>通道 3</source>
        <translation>Channel 3</translation>
    </message>
    <message>
        <source>星座图</source>
        <translation>Constellation</translation>
    </message>
    <message>
        <source>BPSK</source>
        <translation>BPSK</translation>
    </message>
    <message>
        <source>QPSK</source>
        <translation>QPSK</translation>
    </message>
    <message>
        <source>8PSK</source>
        <translation>8PSK</translation>
    </message>
    <message>
        <source>16QAM</source>
        <translation>16QAM</translation>
    </message>
    <message>
        <source>64QAM</source>
        <translation>64QAM</translation>
    </message>
    <message>
        <source>眼图</source>
        <translation>Eye Diagram</translation>
    </message>
    <message>
        <source>示波器</source>
        <translation>Oscilloscope</translation>
    </message>
    <message>
        <source>H452</source>
        <translation>H452</translation>
    </message>
    <message>
        <source>Simulation</source>
        <translation>Simulation</translation>
    </message>
    <message>
        <source>自动</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>启/停</source>
        <translation>Run/Stop</translation>
    </message>
    <message>
        <source>单次</source>
        <translation>Single</translation>
    </message>
    <message>
        <source>水平 &amp; 采集</source>
        <translation>Horizontal &amp; Acq.</translation>
    </message>
    <message>
        <source>触发 ┙﹉┕</source>
        <translation>Trig'd ┙﹉┕</translation>
    </message>
    <message>
        <source>时间跨度</source>
        <translation>Time Span</translation>
    </message>
    <message>
        <source>X 位置</source>
        <translation>X Position</translation>
    </message>
    <message>
        <source>200 ps</source>
        <translation>200 ps</translation>
    </message>
    <message>
        <source>500 ps</source>
        <translation>500 ps</translation>
    </message>
    <message>
        <source>1 ns</source>
        <translation>1 ns</translation>
    </message>
    <message>
        <source>2 ns</source>
        <translation>2 ns</translation>
    </message>
    <message>
        <source>5 ns</source>
        <translation>5 ns</translation>
    </message>
    <message>
        <source>10 ns</source>
        <translation>10 ns</translation>
    </message>
    <message>
        <source>20 ns</source>
        <translation>20 ns</translation>
    </message>
    <message>
        <source>50 ns</source>
        <translation>50 ns</translation>
    </message>
    <message>
        <source>100 ns</source>
        <translation>100 ns</translation>
    </message>
    <message>
        <source>200 ns</source>
        <translation>200 ns</translation>
    </message>
    <message>
        <source>500 ns</source>
        <translation>500 ns</translation>
    </message>
    <message>
        <source>1 µs</source>
        <translation>1 µs</translation>
    </message>
    <message>
        <source>2 µs</source>
        <translation>2 µs</translation>
    </message>
    <message>
        <source>5 µs</source>
        <translation>5 µs</translation>
    </message>
    <message>
        <source>10 µs</source>
        <translation>10 µs</translation>
    </message>
    <message>
        <source>20 µs</source>
        <translation>20 µs</translation>
    </message>
    <message>
        <source>50 µs</source>
        <translation>50 µs</translation>
    </message>
    <message>
        <source>100 µs</source>
        <translation>100 µs</translation>
    </message>
    <message>
        <source>200 µs</source>
        <translation>200 µs</translation>
    </message>
    <message>
        <source>500 µs</source>
        <translation>500 µs</translation>
    </message>
    <message>
        <source>1 ms</source>
        <translation>1 ms</translation>
    </message>
    <message>
        <source>2 ms</source>
        <translation>2 ms</translation>
    </message>
    <message>
        <source>5 ms</source>
        <translation>5 ms</translation>
    </message>
    <message>
        <source>10 ms</source>
        <translation>10 ms</translation>
    </message>
    <message>
        <source>20 ms</source>
        <translation>20 ms</translation>
    </message>
    <message>
        <source>50 ms</source>
        <translation>50 ms</translation>
    </message>
    <message>
        <source>100 ms</source>
        <translation>100 ms</translation>
    </message>
    <message>
        <source>200 ms</source>
        <translation>200 ms</translation>
    </message>
    <message>
        <source>500 ms</source>
        <translation>500 ms</translation>
    </message>
    <message>
        <source>1 s</source>
        <translation>1 s</translation>
    </message>
    <message>
        <source>2 s</source>
        <translation>2 s</translation>
    </message>
    <message>
        <source>5 s</source>
        <translation>5 s</translation>
    </message>
    <message>
        <source>▲～</source>
        <translation>▲～</translation>
    </message>
    <message>
        <source>∽▼</source>
        <translation>∽▼</translation>
    </message>
    <message>
        <source>0.0000 s</source>
        <translation>0.0000 s</translation>
    </message>
    <message>
        <source>采样率</source>
        <translation>Sample Rate</translation>
    </message>
    <message>
        <source>方式</source>
        <translation>Method</translation>
    </message>
    <message>
        <source>模式</source>
        <translation>Mode</translation>
    </message>
    <message>
        <source>DDR4地址</source>
        <translation>DDR4 Address</translation>
    </message>
    <message>
        <source>1GS/s</source>
        <translation>1GS/s</translation>
    </message>
    <message>
        <source>实时</source>
        <translation>Real Time</translation>
    </message>
    <message>
        <source>采样</source>
        <translation>Sample</translation>
    </message>
    <message>
        <source>0</source>
        <translation>0</translation>
    </message>
    <message>
        <source>触发</source>
        <translation>Trigger</translation>
    </message>
    <message>
        <source>自由触发</source>
        <translation>Free Run</translation>
    </message>
    <message>
        <source>边沿触发</source>
        <translation>Edge</translation>
    </message>
    <message>
        <source>连续传输</source>
        <translation>Streaming</translation>
    </message>
    <message>
        <source>外部触发</source>
        <translation>External</translation>
    </message>
    <message>
        <source>本地文件读取</source>
        <translation>Local File</translation>
    </message>
    <message>
        <source>强制</source>
        <translation>Force</translation>
    </message>
    <message>
        <source>触发源</source>
        <translation>Source</translation>
    </message>
    <message>
        <source>正常</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>触发沿</source>
        <translation>Edge</translation>
    </message>
    <message>
        <source>触发电平</source>
        <translation>Level</translation>
    </message>
    <message>
        <source>空闲模式</source>
        <translation>Idle</translation>
    </message>
    <message>
        <source>AA上升沿</source>
        <translation>AA Rising</translation>
    </message>
    <message>
        <source>AB上升沿</source>
        <translation>AB Rising</translation>
    </message>
    <message>
        <source>BA上升沿</source>
        <translation>BA Rising</translation>
    </message>
    <message>
        <source>BB上升沿</source>
        <translation>BB Rising</translation>
    </message>
    <message>
        <source>AA下降沿</source>
        <translation>AA Falling</translation>
    </message>
    <message>
        <source>AB下降沿</source>
        <translation>AB Falling</translation>
    </message>
    <message>
        <source>BA下降沿</source>
        <translation>BA Falling</translation>
    </message>
    <message>
        <source>BB下降沿</source>
        <translation>BB Falling</translation>
    </message>
    <message>
        <source>外部触发上升沿</source>
        <translation>External Rising</translation>
    </message>
    <message>
        <source>外部触发下降沿</source>
        <translation>External Falling</translation>
    </message>
    <message>
        <source>0.000 V</source>
        <translation>0.000 V</translation>
    </message>
    <message>
        <source>下置 50%</source>
        <translation>Set 50%</translation>
    </message>
    <message>
        <source>延迟</source>
        <translation>Delay</translation>
    </message>
    <message>
        <source>0.0000 mV</source>
        <translation>0.0000 mV</translation>
    </message>
    <message>
        <source>通道</source>
        <translation>Channel</translation>
    </message>
    <message>
        <source>示范：模拟示波器 · H452(4通道)</source>
        <translation>Demo: simulated oscilloscope · H452 (4 channels)</translation>
    </message>
    <message>
        <source>电压跨度</source>
        <translation>Volts/div</translation>
    </message>
    <message>
        <source>Y 位置</source>
        <translation>Y Position</translation>
    </message>
    <message>
        <source>1 mV</source>
        <translation>1 mV</translation>
    </message>
    <message>
        <source>2 mV</source>
        <translation>2 mV</translation>
    </message>
    <message>
        <source>5 mV</source>
        <translation>5 mV</translation>
    </message>
    <message>
        <source>6.25 mV</source>
        <translation>6.25 mV</translation>
    </message>
    <message>
        <source>10 mV</source>
        <translation>10 mV</translation>
    </message>
    <message>
        <source>12.5 mV</source>
        <translation>12.5 mV</translation>
    </message>
    <message>
        <source>20 mV</source>
        <translation>20 mV</translation>
    </message>
    <message>
        <source>25 mV</source>
        <translation>25 mV</translation>
    </message>
    <message>
        <source>50 mV</source>
        <translation>50 mV</translation>
    </message>
    <message>
        <source>62.5 mV</source>
        <translation>62.5 mV</translation>
    </message>
    <message>
        <source>100 mV</source>
        <translation>100 mV</translation>
    </message>
    <message>
        <source>125 mV</source>
        <translation>125 mV</translation>
    </message>
    <message>
        <source>200 mV</source>
        <translation>200 mV</translation>
    </message>
    <message>
        <source>250 mV</source>
        <translation>250 mV</translation>
    </message>
    <message>
        <source>500 mV</source>
        <translation>500 mV</translation>
    </message>
    <message>
        <source>625 mV</source>
        <translation>625 mV</translation>
    </message>
    <message>
        <source>1 V</source>
        <translation>1 V</translation>
    </message>
    <message>
        <source>1.25 V</source>
        <translation>1.25 V</translation>
    </message>
    <message>
        <source>2 V</source>
        <translation>2 V</translation>
    </message>
    <message>
        <source>2.5 V</source>
        <translation>2.5 V</translation>
    </message>
    <message>
        <source>5 V</source>
        <translation>5 V</translation>
    </message>
    <message>
        <source>6.25 V</source>
        <translation>6.25 V</translation>
    </message>
    <message>
        <source>10 V</source>
        <translation>10 V</translation>
    </message>
    <message>
        <source>0.000 div</source>
        <translation>0.000 div</translation>
    </message>
    <message>
        <source>耦合</source>
        <translation>Coupling</translation>
    </message>
    <message>
        <source>DC</source>
        <translation>DC</translation>
    </message>
    <message>
        <source>探头</source>
        <translation>Probe</translation>
    </message>
    <message>
        <source>1 X</source>
        <translation>1 X</translation>
    </message>
    <message>
        <source>带宽</source>
        <translation>Bandwidth</translation>
    </message>
    <message>
        <source>300MHz</source>
        <translation>300MHz</translation>
    </message>
    <message>
        <source>输入阻抗</source>
        <translation>Impedance</translation>
    </message>
    <message>
        <source>1 MΩ</source>
        <translation>1 MΩ</translation>
    </message>
    <message>
        <source>范围</source>
        <translation>Range</translation>
    </message>
    <message>
        <source>50 V</source>
        <translation>50 V</translation>
    </message>
    <message>
        <source>1</source>
        <translation>1</translation>
    </message>
    <message>
        <source>2</source>
        <translation>2</translation>
    </message>
    <message>
        <source>3</source>
        <translation>3</translation>
    </message>
    <message>
        <source>添加通道</source>
        <translation>Add Channel</translation>
    </message>
    <message>
        <source>FFT</source>
        <translation>FFT</translation>
    </message>
    <message>
        <source>a+b</source>
        <translation>a+b</translation>
    </message>
    <message>
        <source>F1</source>
        <translation>F1</translation>
    </message>
    <message>
        <source>通道源</source>
        <translation>Source</translation>
    </message>
    <message>
        <source>窗类型</source>
        <translation>Window</translation>
    </message>
    <message>
        <source>Rectangular</source>
        <translation>Rectangular</translation>
    </message>
    <message>
        <source>Hanning</source>
        <translation>Hanning</translation>
    </message>
    <message>
        <source>Hamming</source>
        <translation>Hamming</translation>
    </message>
    <message>
        <source>Flat top</source>
        <translation>Flat top</translation>
    </message>
    <message>
        <source>Blackman</source>
        <translation>Blackman</translation>
    </message>
    <message>
        <source>Gaussian</source>
        <translation>Gaussian</translation>
    </message>
    <message>
        <source>Blackman-Harris</source>
        <translation>Blackman-Harris</translation>
    </message>
    <message>
        <source>Exact Blackman</source>
        <translation>Exact Blackman</translation>
    </message>
    <message>
        <source>4 Term B-Harris</source>
        <translation>4 Term B-Harris</translation>
    </message>
    <message>
        <source>7 Term B-Harris</source>
        <translation>7 Term B-Harris</translation>
    </message>
    <message>
        <source>Low sidelobe</source>
        <translation>Low sidelobe</translation>
    </message>
    <message>
        <source>示波器 · H452(4通道)</source>
        <translation>Oscilloscope · H452 (4 channels)</translation>
    </message>
    <message>
        <source>自动设置</source>
        <translation>Auto Setup</translation>
    </message>
    <message>
        <source>默认设置</source>
        <translation>Default Setup</translation>
    </message>
    <message>
        <source>采样点数</source>
        <translation>Samples</translation>
    </message>
    <message>
        <source>触发阈值</source>
        <translation>Threshold</translation>
    </message>
    <message>
        <source>触发时间</source>
        <translation>Trigger Time</translation>
    </message>
    <message>
        <source>幅度(mv)</source>
        <translation>Amplitude (mV)</translation>
    </message>
    <message>
        <source>频谱 (MHz)</source>
        <translation>Spectrum (MHz)</translation>
    </message>
    <message>
        <source>幅度(dBm)</source>
        <translation>Amplitude (dBm)</translation>
    </message>
    <message>
        <source>频响 (MHz)</source>
        <translation>Frequency Response (MHz)</translation>
    </message>
    <message>
        <source>幅度(dBFS)</source>
        <translation>Amplitude (dBFS)</translation>
    </message>
    <message>
        <source>I</source>
        <translation>I</translation>
    </message>
    <message>
        <source>Q</source>
        <translation>Q</translation>
    </message>
    <message>
        <source>NSD(dBm)</source>
        <translation>NSD(dBm)</translation>
    </message>
    <message>
        <source>停止 ■</source>
        <translation>Stop ■</translation>
    </message>
    <message>
        <source>默认</source>
        <translation>Default</translation>
    </message>
    <message>
        <source>通道 </source>
        <translation>Channel </translation>
    </message>
    <message>
        <source>本地文件</source>
        <translation>Local File</translation>
    </message>
    <message>
        <source>Binary Files (*.bin)</source>
        <translation>Binary Files (*.bin)</translation>
    </message>
    <message>
        <source>V</source>
        <translation>V</translation>
    </message>
</context>
<context>
    <name>Settings</name>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>水平</source>
        <translation>Horizontal</translation>
    </message>
    <message>
        <source>采集</source>
        <translation>Acquisition</translation>
    </message>
    <message>
        <source>采样方法</source>
        <translation>Sampling Method</translation>
    </message>
    <message>
        <source>实时</source>
        <translation>Real Time</translation>
    </message>
    <message>
        <source>随机内插</source>
        <translation>Random Interpolation</translation>
    </message>
    <message>
        <source>采样模式</source>
        <translation>Sampling Mode</translation>
    </message>
    <message>
        <source>采样</source>
        <translation>Sample</translation>
    </message>
    <message>
        <source>峰值检测</source>
        <translation>Peak Detect</translation>
    </message>
    <message>
        <source>平均</source>
        <translation>Average</translation>
    </message>
    <message>
        <source>手动覆盖</source>
        <translation>Manual Override</translation>
    </message>
    <message>
        <source>采样率</source>
        <translation>Sample Rate</translation>
    </message>
    <message>
        <source>1GS/s</source>
        <translation>1GS/s</translation>
    </message>
    <message>
        <source>⊙</source>
        <translation>⊙</translation>
    </message>
    <message>
        <source>记录长度</source>
        <translation>Record Length</translation>
    </message>
    <message>
        <source>1000</source>
        <translation>1000</translation>
    </message>
    <message>
        <source>插值法</source>
        <translation>Interpolation</translation>
    </message>
    <message>
        <source>No</source>
        <translation>No</translation>
    </message>
    <message>
        <source>自动</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>On</source>
        <translation>On</translation>
    </message>
    <message>
        <source>No interpolation</source>
        <translation>No interpolation</translation>
    </message>
    <message>
        <source>显示</source>
        <translation>Display</translation>
    </message>
    <message>
        <source>时域图</source>
        <translation>Time Domain</translation>
    </message>
    <message>
        <source>测量</source>
        <translation>Measurements</translation>
    </message>
    <message>
        <source>频谱图</source>
        <translation>Spectrum</translation>
    </message>
    <message>
        <source>频响图</source>
        <translation>Frequency Response</translation>
    </message>
    <message>
        <source>星座图</source>
        <translation>Constellation</translation>
    </message>
    <message>
        <source>眼图</source>
        <translation>Eye Diagram</translation>
    </message>
</context>
</TS>
